// The TAR walk over the corpus: names and sizes of every trusted TAR archive.
#include <gtest/gtest.h>

#include "support/corpus_family.h"

namespace kv {
namespace {

TEST(CorpusListTar, ListsTheExpectedMembers) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const std::string incremental = "the archive holds test-times.txt twice; the extractors keep the last one";
    const std::string long_name = "a 32 767-character name; the extractors could only write a shortened one";
    std::map<std::string, std::string> known = {
        {"commons-compress/COMPRESS-612/test-times-gnu-incremental.tar", incremental},
        {"commons-compress/COMPRESS-612/test-times-oldgnu-incremental.tar", incremental},
        {"commons-compress/COMPRESS-612/test-times-xstar-incremental.tar", incremental},
        {"commons-compress/COMPRESS-612/test-times-xustar-incremental.tar", incremental},
        {"commons-compress/synthetic/long-name/gnu.tar", long_name},
        {"commons-compress/synthetic/long-name/pax.tar", long_name},
        {"libarchive/libarchive/test/test_pax_filename_encoding.tar",
         "pax paths that are not valid UTF-8 are listed as stored; the extractors convert them"},
        {"libarchive/libarchive/test/test_read_format_tar_empty_with_gnulabel.tar",
         "the GNU volume label is skipped by detection, not listed"},
        {"libarchive/tar/test/test_leading_slash.tar",
         "a hard link member stores size 0; the extractors write the linked file's contents"},
    };
    const int compared = test::CheckCorpusFamily(
        {"tar"}, known,
        [](const test::CorpusFile&, const test::Listing& listing, const test::ExpectedContents& expected) {
            return test::CompareTarListing(listing, expected);
        });
    EXPECT_GT(compared, 50);
}

}  // namespace
}  // namespace kv
