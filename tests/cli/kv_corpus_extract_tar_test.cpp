// kv x against the corpus: every trusted TAR, compressed TAR (GZIP, BZIP2, compress) and single compressed
// file extracts to exactly the files the independent extractors wrote.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "cli/kv_program.h"
#include "support/corpus_tar_family.h"
#include "support/corpus_tree.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

TEST(KvCorpusExtractTar, TrustedArchivesExtractAsTheExtractorsWrote) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const std::set<std::string> families = {"tar",   "gzip+tar", "bzip2+tar", "compress-Z+tar",
                                            "gzip",  "bzip2",    "compress-Z"};
    std::map<std::string, std::string> known = test::TarExtractDifferences();
    known.insert(test::SingleFileDifferences().begin(), test::SingleFileDifferences().end());
    // One extractor alone wrote these; gzip -d and bzip2 -d report them damaged.
    known["commons-compress/org/apache/commons/compress/bzip2/hbCreateDecodeTables.bin"] =
        "its data fail BZIP2's integrity check, and an entry that fails its check leaves no file";
    known["libarchive/libarchive/test/test_read_filter_gzip_recursive.gz"] =
        "its data fail the GZIP trailer's CRC, and an entry that fails its check leaves no file";
    const test::TCorpusComparison result = test::CompareTrustedExtractions(
        [&](const test::CorpusFile& row) { return families.count(row.format) != 0; },
        [](const fs::path& archive, const fs::path& destination, const test::ExpectedContents&) {
            return test::KvExtract(archive, destination);
        },
        test::ListedWithReasons(std::move(known)));
    EXPECT_EQ(result.failures, "");
    EXPECT_GT(result.compared, 100);
}

}  // namespace
}  // namespace kv
