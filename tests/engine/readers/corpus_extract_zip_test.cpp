// The ZIP reader against the corpus: every trusted ZIP, JAR and self-extractor extracts to the bytes the
// independent extractors wrote (size, CRC-32 and SHA-256 of each file), and every ZIP-family file, the
// crafted and broken ones included, extracts without a crash and without writing outside its destination.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "platform/output_tree.h"
#include "platform/paths.h"
#include "support/corpus_family.h"
#include "support/file_digest.h"
#include "support/foreign_items.h"
#include "support/corpus_zip_tree.h"
#include "support/reader_run.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

TEST(CorpusExtractZip, TrustedArchivesExtractAsTheExtractorsWrote) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const test::TCorpusComparison result = test::CompareTrustedExtractions(
        [](const test::CorpusFile& row) { return test::IsZipFamily(test::DetectType(test::CorpusDir() / row.path)); },
        [](const fs::path& archive, const fs::path& destination, const test::ExpectedContents& expected) {
            return test::ExtractWithReader(archive, test::DetectType(archive), destination, expected.password);
        },
        test::JudgeKnownZipDifference);
    EXPECT_EQ(result.failures, "");
    EXPECT_GT(result.compared, 100);
}

// Hostile names ("..", absolute, through links), damaged headers and data: nothing may land outside the
// destination, which lies three levels down so that names climbing out would show in the sandbox.
TEST(CorpusExtractZip, EveryZipFamilyFileStaysInsideItsDestination) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    std::string failures;
    int extracted = 0;
    for (const test::CorpusFile& row : test::ReadCorpusManifest()) {
        const fs::path archive = test::CorpusDir() / row.path;
        const TArcType type = test::DetectType(archive);
        if (!test::IsZipFamily(type)) continue;
        const auto expected = test::ReadExpectedContents(row.path);
        test::TempDir sandbox;
        const fs::path destination = sandbox / "a/b/out";
        fs::create_directories(destination);
        platform::TOutputTree tree;
        tree.SetBase(platform::IncludeTrailingDelimiter(destination.string()));
        std::string outside;
        test::ExtractWithReader(archive, type, destination, expected ? expected->password : "", [&](const std::string& path) {
            if (tree.Inspect(path) == platform::TOutputPathState::opsRefused) outside += "announced " + path + "\n";
        });
        outside += test::ForeignItems(sandbox.Path(), destination);
        if (!outside.empty()) failures += "== " + row.path + "\n" + outside;
        ++extracted;
    }
    EXPECT_EQ(failures, "");
    EXPECT_GT(extracted, 250);
}

}  // namespace
}  // namespace kv
