// The GZIP family walk over the corpus, decoding what the files hold: GZIP files list their stored name or
// the archive's name with the size and CRC-32 of all their members; compress files report the archive size
// less the header; a TAR inside is listed as the TAR.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/corpus_family.h"
#include "support/corpus_tar_family.h"

namespace kv {
namespace {

TEST(CorpusListGzip, ListsTheOneMember) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    std::map<std::string, std::string> known = test::SingleFileDifferences();
    known["libarchive/libarchive/test/test_read_filter_gzip_recursive.gz"] =
        "a GZIP of a GZIP: the last eight bytes are the inner member's trailer";
    const int compared = test::CheckCorpusFamily(
        {"gzip", "gzip+tar", "compress-Z", "compress-Z+tar"}, known,
        [](const test::CorpusFile& row, const test::Listing& listing, const test::ExpectedContents& expected) {
            if (row.format.ends_with("+tar")) return test::CompareTarListing(listing, expected);
            if (row.format == "gzip") return test::CompareWithExpected(listing, expected, true);
            const auto header_less = static_cast<std::int64_t>(std::filesystem::file_size(test::CorpusDir() / row.path)) - 10;
            return test::CompareSingleEntry(listing, expected, header_less);
        },
        [](TArcLister& lister) { lister.ListDecoded = true; });
    EXPECT_GT(compared, 30);
}

}  // namespace
}  // namespace kv
