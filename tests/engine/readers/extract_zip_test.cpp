// The ZIP reader on entries written as a stream, the way jar and other streaming writers make them: the
// local header leaves CRC and sizes 0 and a data descriptor follows the data.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/raw_deflate.h"
#include "support/reader_run.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// The layout jar writes: a deflated "META-INF/" folder entry and manifest, deflated and stored files, an
// empty file and an empty folder, every entry behind a data descriptor.
std::vector<test::ZipMember> JarLayout(const std::string& text) {
    const auto deflated = [](std::string name, std::string data) {
        const std::string packed = test::RawDeflate(data);
        return test::ZipMember{.name = std::move(name), .data = std::move(data), .packed = packed, .method = 8,
                               .descriptor = true};
    };
    return {
        deflated("META-INF/", ""),
        deflated("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nCreated-By: hand\r\n\r\n"),
        deflated("a.txt", text),
        {.name = "empty.txt", .descriptor = true},
        {.name = "emptydir/", .descriptor = true},
        deflated("sub/b.txt", "hi\n"),
        {.name = "sub/stored.bin", .data = std::string("\0\x01\x02PK\x07\x08 not a descriptor", 25), .descriptor = true},
    };
}

// With the directory the sizes come from it; without one (a cut-off archive) each descriptor has to be
// found behind the data. Either way every entry extracts with its bytes and passes its check.
TEST(ExtractZip, StreamedEntriesExtractWithAndWithoutTheDirectory) {
    std::string text;
    for (int i = 1; i <= 20000; ++i) text += std::to_string(i) + "\n";
    const std::vector<test::ZipMember> members = JarLayout(text);
    for (const bool central : {true, false}) {
        for (const char* name : {"streamed.jar", "streamed.zip"}) {
            SCOPED_TRACE(std::string(name) + (central ? " with its directory" : " without a directory"));
            test::TempDir dir;
            const fs::path archive = dir / name;
            test::WriteFile(archive, test::BuildZip(members, {.central_directory = central}));
            const TArcType type = test::DetectType(archive);
            EXPECT_EQ(type, std::string(name).ends_with(".jar") ? atJar : atZip);
            const fs::path out = dir / "out";
            EXPECT_EQ(test::ExtractWithReader(archive, type, out), "");
            for (const test::ZipMember& member : members) {
                if (member.name.ends_with("/")) {
                    EXPECT_TRUE(fs::is_directory(out / member.name)) << member.name;
                } else {
                    const std::string written = test::ReadFile(out / member.name);
                    EXPECT_TRUE(written == member.data) << member.name << ": " << written.size() << " bytes";
                }
            }
        }
    }
}

}  // namespace
}  // namespace kv
