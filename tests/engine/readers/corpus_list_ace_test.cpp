#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "support/listing.h"
#include "support/test_support.h"

namespace kv {
namespace {

// No ACE archive of the corpus has contents two extractors agreed on; the samples' source names the
// members of its "Original" tree (test.exe 45056 bytes, CRC-32 cfb109c8; test.jpg 40372, 088814e3).
TEST(CorpusListAce, ArchivesListAndTheSamplesHoldTheirMembers) {
    const auto rows = test::ReadCorpusManifest();
    if (rows.empty()) GTEST_SKIP() << "corpus absent";
    for (const auto& row : rows) {
        if (row.format != "ace") continue;
        SCOPED_TRACE(row.path);
        EXPECT_TRUE(test::ListArchive((test::CorpusDir() / row.path).string()).activated);
    }
    for (const char* sample : {"Ace.store.ace", "Ace.method1.ace", "Ace.method2-solid.ace", "Ace.encrypted.ace"}) {
        SCOPED_TRACE(sample);
        const auto listing = test::ListArchive((test::CorpusDir() / "sharpcompress/Archives" / sample).string());
        ASSERT_EQ(listing.entries.size(), 5u);
        std::map<std::string, std::pair<std::int64_t, std::uint32_t>> files;
        for (const auto& entry : listing.entries) files[entry.FileName] = {entry.UnpackedSize, entry.FileCRC};
        EXPECT_EQ(files["exe/test.exe"], std::make_pair(std::int64_t{45056}, 0xCFB109C8u));
        EXPECT_EQ(files["jpg/test.jpg"], std::make_pair(std::int64_t{40372}, 0x088814E3u));
    }
}

}  // namespace
}  // namespace kv
