// The UUE and Base64 walk over the corpus: the encoded file's name, with the archive's size.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/corpus_family.h"

namespace kv {
namespace {

TEST(CorpusListUue, ListsTheEncodedFile) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const std::map<std::string, std::string> known = {};
    const int compared = test::CheckCorpusFamily(
        {"uue", "xxe", "mime-base64", "base64(begin-base64, uuencode -m)"}, known,
        [](const test::CorpusFile& row, const test::Listing& listing, const test::ExpectedContents& expected) {
            const auto archive_size = static_cast<std::int64_t>(std::filesystem::file_size(test::CorpusDir() / row.path));
            return test::CompareSingleEntry(listing, expected, archive_size);
        });
    EXPECT_GT(compared, 3);
}

}  // namespace
}  // namespace kv
