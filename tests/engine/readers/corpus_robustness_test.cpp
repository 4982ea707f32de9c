#include <gtest/gtest.h>

#include "support/corpus_manifest.h"
#include "support/listing.h"
#include "support/test_support.h"

namespace kv {
namespace {

// Every file of the corpus, the crafted and broken ones included, lists without a crash and ends:
// whatever the walk meets, it reports errors and stops.
TEST(CorpusRobustness, EveryFileListsAndEnds) {
    const auto rows = test::ReadCorpusManifest();
    if (rows.empty()) GTEST_SKIP() << "no corpus";
    int listed = 0;
    for (const auto& row : rows) {
        const std::string path = (test::CorpusDir() / row.path).string();
        const test::Listing listing = test::ListArchive(path, [](TArcLister& lister) {
            lister.OnCorruptZipHeader = [](TObject*, THeaderTypeState, bool& cancel) { cancel = false; };
            lister.OnNextVolume = [](TObject*, std::string&, int, bool exists, bool& cancel) { cancel = !exists; };
        });
        if (listing.activated) ++listed;
    }
    EXPECT_GT(listed, 0);
}

}  // namespace
}  // namespace kv
