// The GZIP and BZIP2 readers against the corpus: every trusted GZIP, compress and BZIP2 file extracts to
// the bytes the independent extractors wrote (size and CRC-32), compressed TAR archives through the nested
// TAR step when there is a TAR reader; every such file, the broken ones included, runs without a crash
// and writes nothing outside its destination.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "support/corpus_manifest.h"
#include "support/single_file_run.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

bool IsSingleFileFormat(const std::string& format) {
    for (const char* family : {"gzip", "bzip2", "compress-Z"})
        if (format == family || format == std::string(family) + "+tar") return true;
    return false;
}

std::uint32_t FileCrc(const fs::path& path) {
    const std::string bytes = test::ReadFile(path);
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

TEST(CorpusExtractGzipBzip2, FilesMatchTheExpectedContents) {
    const std::vector<test::CorpusFile> manifest = test::ReadCorpusManifest();
    if (manifest.empty()) GTEST_SKIP() << "the corpus is absent";
    const bool tar_reader = CreateReader(atTar) != nullptr;
    int compared = 0;
    for (const test::CorpusFile& file : manifest) {
        if (!IsSingleFileFormat(file.format)) continue;
        SCOPED_TRACE(file.path);
        test::TempDir dir;
        const fs::path out = dir / "out";
        const bool nested = file.format.ends_with("+tar");
        const std::optional<test::ExpectedContents> expected = test::ReadExpectedContents(file.path);
        test::SingleFileOptions options;
        options.untar = nested && tar_reader;
        const test::SingleFileResult run = test::RunSingleFile(test::CorpusDir() / file.path, out, options);
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
            const std::string relative = fs::relative(entry.path(), dir.Path()).string();
            EXPECT_TRUE(relative == "out" || relative.starts_with("out/")) << relative;
        }
        // Files the reference tools themselves call damaged (the variant says "error") fail here too.
        const bool damaged = file.malformed() || file.variant.find("error") != std::string::npos;
        // Detection takes no file of 19 bytes or less for an archive.
        const bool detected = fs::file_size(test::CorpusDir() / file.path) > 19;
        if (damaged || !detected || !expected || !expected->trusted() || (nested && !tar_reader)) continue;
        EXPECT_EQ(run.reported, "");
        for (const test::ExpectedMember& member : expected->members) {
            if (member.type != 'f') continue;
            // The extractors named a lone file as `gzip -d` does, after the archive; the reader prefers the
            // name stored in the GZIP header.
            fs::path written = out / member.path;
            if (!nested) {
                for (const auto& entry : fs::directory_iterator(out)) written = entry.path();
            }
            ASSERT_TRUE(fs::is_regular_file(written)) << member.path;
            EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(written)), member.size) << member.path;
            EXPECT_EQ(FileCrc(written), member.crc32) << member.path;
        }
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace kv
