// The ZIP reader on entries written as a stream, the way jar and other streaming writers make them: the
// local header leaves CRC and sizes 0 and a data descriptor follows the data.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/raw_deflate.h"
#include "support/reader_run.h"
#include "support/test_support.h"
#include "support/zip_builder.h"
#include "support/zip_damage_fixtures.h"

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

std::string UnixTimeField(std::int32_t seconds) {
    std::string data = "\x01";
    test::Put32(data, static_cast<std::uint32_t>(seconds));
    return test::ExtraField(0x5455, data);
}

std::string NtfsTimeField(std::int64_t seconds, std::uint32_t ticks) {
    const std::uint64_t filetime = static_cast<std::uint64_t>(seconds + 11'644'473'600) * 10'000'000 + ticks;
    std::string data(4, '\0');
    test::Put16(data, 1), test::Put16(data, 24);
    for (int i = 0; i < 3; ++i) test::Put64(data, filetime);
    return test::ExtraField(0x000a, data);
}

// The extended timestamp and the NTFS field give the file its time; with both, the NTFS one, as 7-Zip
// reads them; times before 1970 too.
TEST(ExtractZip, ExtraFieldTimesGoOnTheFiles) {
    const struct {
        const char* label;
        std::string extra;
        std::int64_t seconds;
    } cases[] = {
        {"extended timestamp", UnixTimeField(1'000'000'000), 1'000'000'000},
        {"NTFS", NtfsTimeField(1'500'000'000, 1'234'567), 1'500'000'000},
        {"both", UnixTimeField(1'000'000'000) + NtfsTimeField(1'500'000'000, 0), 1'500'000'000},
        {"before 1970", UnixTimeField(-3600), -3600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        test::TempDir dir;
        test::WriteFile(dir / "t.zip", test::BuildZip({{.name = "f.txt", .data = "x", .central_extra = c.extra}}));
        EXPECT_EQ(test::ExtractWithReader(dir / "t.zip", atZip, dir / "out"), "");
        struct stat info {};
        ASSERT_EQ(::stat((dir / "out" / "f.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mtime, c.seconds);
    }
}

// Data that stop before the size the headers declare, or run on past it, fail the entry as a data error
// whatever their checksum says (the fixtures' CRCs match the bytes that are there); the sound entry
// before them is untouched.
TEST(ExtractZip, EntriesWhoseDataDoNotEndWhereTheySayFail) {
    for (const test::MisSizedZip& zip : test::MisSizedZips()) {
        SCOPED_TRACE(zip.label);
        test::TempDir dir;
        test::WriteFile(dir / "a.zip", zip.bytes);
        EXPECT_EQ(test::ExtractWithReader(dir / "a.zip", atZip, dir / "out"),
                  "bad.txt: Decompression error\nbad.txt: fails its check\n");
        EXPECT_EQ(test::ReadFile(dir / "out" / "good.txt"), test::kSoundText);
    }
}

// Central records that point at one local entry are refused, each by name; the entry itself extracts once.
TEST(ExtractZip, EntriesSharingTheirDataAreRefusedAsOverlapped) {
    test::TempDir dir;
    test::WriteFile(dir / "bomb.zip", test::OverlappingZip(3));
    std::string expected;
    for (int i = 0; i < 3; ++i)
        expected += "copy" + std::to_string(i) + ".bin: Invalid zip file with overlapped components (possible zip bomb)\n";
    EXPECT_EQ(test::ExtractWithReader(dir / "bomb.zip", atZip, dir / "out"), expected);
    std::vector<std::string> written;
    for (const auto& file : fs::directory_iterator(dir / "out")) written.push_back(file.path().filename().string());
    EXPECT_EQ(written, std::vector<std::string>{"first.bin"});
    EXPECT_EQ(fs::file_size(dir / "out" / "first.bin"), 1U << 20);
}

}  // namespace
}  // namespace kv
