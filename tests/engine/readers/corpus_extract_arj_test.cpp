// The ARJ reader against the corpus: every trusted ARJ archive (self-extracting ones and volume sets
// included) extracts to the members the independent extractors wrote, garbled ones with their password;
// every ARJ file, the damaged ones included, and cut or bit-flipped copies run without a crash and write
// nothing outside their destination.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/corpus_tree.h"
#include "support/folder_contents.h"
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
        std::ifstream in(test::CorpusDir() / row.path, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<std::string> copies = {bytes, bytes.substr(0, bytes.size() / 2), bytes.substr(0, bytes.size() - 7)};
        for (std::size_t at = 40; at < bytes.size(); at += bytes.size() / 5 + 1) {
            std::string flipped = bytes;
            flipped[at] = static_cast<char>(flipped[at] ^ 0x10);
            copies.push_back(flipped);
        }
        for (const std::string& copy : copies) {
            test::TempDir sandbox;
            const fs::path destination = sandbox / "a/out";
            fs::create_directories(destination);
            const fs::path archive = sandbox / "copy.arj";
            test::WriteFile(archive, copy);
            test::ExtractWithReader(archive, atArj, destination, "secret");
            for (auto it = fs::recursive_directory_iterator(sandbox.Path()); it != fs::recursive_directory_iterator();
                 ++it) {
                if (it->path() != archive && !test::IsWithin(it->path(), destination) &&
                    !test::IsWithin(destination, it->path()))
                    failures += row.path + ": " + it->path().string() + "\n";
            }
            ++runs;
        }
    }
    EXPECT_EQ(failures, "");
    EXPECT_GT(runs, 100);
}

}  // namespace
}  // namespace kv
