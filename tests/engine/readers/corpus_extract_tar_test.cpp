// The TAR reader against the corpus: every trusted TAR archive extracts to the members the independent
// extractors wrote (bytes by size, CRC-32 and SHA-256, folders, links), and every TAR file, the damaged
// ones included, extracts without a crash and without anything leading out of its destination.
#include <gtest/gtest.h>

#include <map>

#include "support/corpus_tar_family.h"
#include "support/corpus_tree.h"
#include "support/folder_contents.h"
#include "support/reader_run.h"
#include "support/tar_reader_run.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

using test::IsWithin;

TEST(CorpusExtractTar, TrustedArchivesExtractAsTheExtractorsWrote) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const test::TCorpusComparison result = test::CompareTrustedExtractions(
        [](const test::CorpusFile& row) { return row.format == "tar"; },
        [](const fs::path& archive, const fs::path& destination, const test::ExpectedContents&) {
            return test::RunTarReader(archive, destination, false).reported;
        },
        test::ListedWithReasons(test::TarExtractDifferences()));
    EXPECT_EQ(result.failures, "");
    EXPECT_GT(result.compared, 50);
}

// Damaged and crafted files included: nothing lands outside the destination (three levels down, so that
// climbing names would show), and every link made leads inside it.
TEST(CorpusExtractTar, EveryTarFileStaysInsideItsDestination) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    std::string failures;
    int extracted = 0;
    for (const test::CorpusFile& row : test::ReadCorpusManifest()) {
        const fs::path archive = test::CorpusDir() / row.path;
        if (row.format != "tar" && test::DetectType(archive) != atTar) continue;
        test::TempDir sandbox;
        const fs::path destination = sandbox / "a/b/out";
        fs::create_directories(destination);
        test::RunTarReader(archive, destination, false);
        std::string outside;
        for (auto it = fs::recursive_directory_iterator(sandbox.Path()); it != fs::recursive_directory_iterator(); ++it) {
            const fs::path& path = it->path();
            if (!IsWithin(path, destination) && !IsWithin(destination, path)) outside += path.string() + "\n";
            else if (it->is_symlink() && !IsWithin(fs::weakly_canonical(path), fs::canonical(destination)))
                outside += path.string() + " leads out\n";
        }
        if (!outside.empty()) failures += "== " + row.path + "\n" + outside;
        ++extracted;
    }
    EXPECT_EQ(failures, "");
    EXPECT_GT(extracted, 100);
}

}  // namespace
}  // namespace kv
