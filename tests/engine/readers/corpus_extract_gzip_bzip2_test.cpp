// The GZIP and BZIP2 readers against the corpus: every trusted GZIP, compress and BZIP2 file extracts to
// the bytes the independent extractors wrote (size, CRC-32 and SHA-256), compressed TAR archives through the
// nested TAR step when there is a TAR reader; every such file, the broken ones included, runs without a crash
// and writes nothing outside its destination.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/corpus_family.h"
#include "support/corpus_manifest.h"
#include "support/file_digest.h"
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
        // A TAR is known by its content, whatever its stored name.
        if (nested) {
            EXPECT_EQ(run.asked.size(), 1u);
        }
        for (const test::ExpectedMember& member : expected->members) {
            // Names beyond ASCII (code pages, EUC-JP) are the TAR reader's matter: its own corpus test has them.
            const bool ascii = std::all_of(member.path.begin(), member.path.end(),
                                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
            if (member.type != 'f' || !ascii || member.path.find("\\x") != std::string::npos) continue;
            // The extractors named a lone file as `gzip -d` does, after the archive; the reader prefers the
            // name stored in the GZIP header.
            fs::path written = out / test::ExpectedNameAsListed(member.path);
            if (!nested) {
                for (const auto& entry : fs::directory_iterator(out)) written = entry.path();
            }
            if (!fs::is_regular_file(written)) {
                ADD_FAILURE() << member.path << " is missing";
                continue;
            }
            const test::FileDigest digest = test::DigestOf(written);
            EXPECT_EQ(digest.size, member.size) << member.path;
            EXPECT_EQ(digest.crc32, member.crc32) << member.path;
            if (!member.sha256.empty()) {
                EXPECT_EQ(digest.sha256, member.sha256) << member.path;
            }
        }
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace kv
