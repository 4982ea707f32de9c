// The TAR reader against the corpus: every trusted TAR archive extracts to the members the independent
// extractors wrote (bytes by size, CRC-32 and SHA-256, folders, links), and every TAR file, the damaged
// ones included, extracts without a crash and without anything leading out of its destination.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "support/corpus_tree.h"
#include "support/reader_run.h"
#include "support/tar_reader_run.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

bool IsWithin(const fs::path& path, const fs::path& folder) {
    return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

TEST(CorpusExtractTar, TrustedArchivesExtractAsTheExtractorsWrote) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    // Archives that cannot extract as the extractors wrote them, with the reason.
    std::map<std::string, std::string> known = {
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
    };
    std::string failures;
    int compared = 0;
    for (const test::CorpusFile& row : test::ReadCorpusManifest()) {
        if (row.format != "tar" || row.malformed()) continue;
        const auto expected = test::ReadExpectedContents(row.path);
        if (!expected || !expected->trusted()) continue;
        const fs::path archive = test::CorpusDir() / row.path;
        test::TempDir destination;
        const test::TarRun run = test::RunTarReader(archive, destination.Path(), false);
        const std::string differences = run.reported + test::CompareTree(destination.Path(), *expected, false);
        if (const auto it = known.find(row.path); it != known.end()) {
            if (differences.empty()) failures += "== " + row.path + " is listed as known (" + it->second + ") but matches\n";
            continue;
        }
        if (!differences.empty()) failures += "== " + row.path + "\n" + differences;
        ++compared;
    }
    EXPECT_EQ(failures, "");
    EXPECT_GT(compared, 50);
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
