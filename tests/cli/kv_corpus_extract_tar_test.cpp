// kv x against the corpus: every trusted TAR, compressed TAR (GZIP, BZIP2, compress) and single compressed
// file extracts to exactly the files the independent extractors wrote.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "cli/kv_program.h"
#include "support/corpus_tree.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

TEST(KvCorpusExtractTar, TrustedArchivesExtractAsTheExtractorsWrote) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const std::set<std::string> families = {"tar",   "gzip+tar", "bzip2+tar", "compress-Z+tar",
                                            "gzip",  "bzip2",    "compress-Z"};
    const std::string stored_name = "the member is written under the name its GZIP header stores; the extractors "
                                    "named it after the file, as gzip -d does";
    const std::map<std::string, std::string> known = {
        {"commons-compress/synthetic/long-name/gnu.tar", "a 32 767-character name: no file system takes it"},
        {"commons-compress/synthetic/long-name/pax.tar", "a 32 767-character name: no file system takes it"},
        {"libarchive/libarchive/test/test_pax_filename_encoding.tar",
         "a pax path that is not valid UTF-8 is written as stored; the extractors wrote the byte as \\xfc"},
        {"libarchive/libarchive/test/test_read_format_tar_empty_with_gnulabel.tar",
         "the GNU volume label is skipped by detection, not extracted"},
        {"libarchive/libarchive/test/test_compat_tar_directory_1.tar",
         "a folder header claims one byte of data, and the block skipped for it is the next folder's header"},
        {"sharpcompress/Archives/Tar.PaxGlobalHeader.Link.tar",
         "a pax global linkpath applies to every following link, as GNU tar takes it; the extractors kept the "
         "header's own"},
        {"commons-compress/multiple.gz", stored_name},
        {"generated-debian/gzip-single-with-name.gz", stored_name},
        {"commons-compress/org/apache/commons/compress/gzip/members.gz", stored_name},
        {"commons-compress/org/apache/commons/compress/gzip/members-size-0.gz", stored_name},
        {"libarchive/cat/test/test_expand.gz", stored_name},
        {"libarchive/libarchive/test/test_read_format_raw.data.gz", stored_name},
        {"sharpcompress/Archives/Large/Large.gz", stored_name},
        {"libarchive/libarchive/test/test_read_format_raw.data.Z", "at most 19 bytes: too small for detection"},
        {"patool/t.txt.Z", "at most 19 bytes: too small for detection"},
        // One extractor alone wrote these; gzip -d and bzip2 -d report them damaged.
        {"commons-compress/org/apache/commons/compress/bzip2/hbCreateDecodeTables.bin",
         "its data fail BZIP2's integrity check, and an entry that fails its check leaves no file"},
        {"libarchive/libarchive/test/test_read_filter_gzip_recursive.gz",
         "its data fail the GZIP trailer's CRC, and an entry that fails its check leaves no file"},
    };
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
