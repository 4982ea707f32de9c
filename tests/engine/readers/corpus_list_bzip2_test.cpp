// The BZIP2 walk over the corpus: one entry named after the archive, sized as the archive less its
// header; archives of a TAR list the one compressed member.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/corpus_family.h"

namespace kv {
namespace {

TEST(CorpusListBzip2, ListsTheOneMember) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const int compared = test::CheckCorpusFamily(
        {"bzip2", "bzip2+tar"},
        {{"commons-compress/org/apache/commons/compress/bzip2/hbCreateDecodeTables.bin",
          "no \".bz2\" extension: named after the archive without its last extension, not with \".out\""}},
        [](const test::CorpusFile& row, const test::Listing& listing, const test::ExpectedContents& expected) {
            if (row.format.ends_with("+tar")) return std::string(listing.entries.size() == 1 ? "" : "not one entry\n");
            const auto header_less = static_cast<std::int64_t>(std::filesystem::file_size(test::CorpusDir() / row.path)) - 10;
            return test::CompareSingleEntry(listing, expected, header_less);
        });
    EXPECT_GT(compared, 15);
}

}  // namespace
}  // namespace kv
