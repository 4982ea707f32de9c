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
    std::string failures;
    int compared = 0;
    for (const test::CorpusFile& row : test::ReadCorpusManifest()) {
        if (row.malformed() || families.count(row.format) == 0) continue;
        const auto expected = test::ReadExpectedContents(row.path);
        if (!expected || !expected->trusted()) continue;
        test::TempDir destination;
        std::string reported;
        test::RunCommand(test::Kv() + " x " + test::Quoted(test::CorpusDir() / row.path) + " -y -o " +
                             test::Quoted(destination.Path()) + " 2>&1 </dev/null",
                         &reported);
        const std::string differences = reported + test::CompareTree(destination.Path(), *expected, false);
        if (const auto it = known.find(row.path); it != known.end()) {
            if (differences.empty()) failures += "== " + row.path + " is listed as known (" + it->second + ") but matches\n";
            continue;
        }
        if (!differences.empty()) failures += "== " + row.path + "\n" + differences;
        ++compared;
    }
    EXPECT_EQ(failures, "");
    EXPECT_GT(compared, 100);
}

}  // namespace
}  // namespace kv
