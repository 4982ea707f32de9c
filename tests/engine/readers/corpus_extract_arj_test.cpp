// The ARJ reader against the corpus: every trusted ARJ archive (self-extracting ones and volume sets
// included) extracts to the members the independent extractors wrote, garbled ones with their password;
// every ARJ file, the damaged ones included, and cut or bit-flipped copies run without a crash and write
// nothing outside their destination.
#include <gtest/gtest.h>

#include "support/corpus_tree.h"
#include "support/damaged_copies.h"
#include "support/reader_run.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

bool IsArjRow(const test::CorpusFile& row) { return row.format == "arj" || row.format == "arj-sfx"; }

TEST(CorpusExtractArj, TrustedArchivesExtractAsTheExtractorsWrote) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const test::TCorpusComparison result = test::CompareTrustedExtractions(
        IsArjRow,
        [](const fs::path& archive, const fs::path& destination, const test::ExpectedContents& expected) {
            return test::ExtractWithReader(archive, test::DetectType(archive), destination, expected.password);
        },
        test::ListedWithReasons({}));
    EXPECT_EQ(result.failures, "");
    EXPECT_GT(result.compared, 15);
}

// Whatever the bytes, the reader ends, and nothing lands beside the destination.
TEST(CorpusExtractArj, DamagedCopiesStayInsideTheirDestination) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    std::string failures;
    int runs = 0;
    for (const test::CorpusFile& row : test::ReadCorpusManifest()) {
        if (!IsArjRow(row)) continue;
        for (const auto& [name, copy] : test::DamagedCopies(test::ReadFile(test::CorpusDir() / row.path))) {
            const std::string outside = test::ExtractedOutside(copy, atArj, "secret");
            if (!outside.empty()) failures += "== " + row.path + " (" + name + ")\n" + outside;
            ++runs;
        }
    }
    EXPECT_EQ(failures, "");
    EXPECT_GT(runs, 100);
}

}  // namespace
}  // namespace kv
