#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/listing.h"
#include "support/old_formats_fixture.h"
#include "support/test_support.h"

namespace kv {
namespace {

using test::LeBytes;

std::string ArcHeader(std::uint8_t method, const std::string& name, std::uint32_t packed, std::uint32_t original) {
    return LeBytes().u8(0x1A).u8(method).field(name, 13).u32(packed).u16(0x5A8C).u16(0x6000).u16(0x1234).u32(original).bytes;
}
std::string ArcFile(const std::string& name, const std::string& data) {
    return ArcHeader(2, name, static_cast<std::uint32_t>(data.size()), static_cast<std::uint32_t>(data.size())) + data;
}
std::string ArcEnd(std::uint8_t method = 0) { return LeBytes().u8(0x1A).u8(method).bytes; }

constexpr std::uint32_t kZooTag = 0xFDC4A7DC;

// A ZOO directory entry of type 2 with no long name; `next` is where the following entry lies.
std::string ZooEntry(const std::string& name, std::uint32_t next, std::uint32_t size, bool deleted = false) {
    LeBytes e;
    e.u32(kZooTag).u8(2).u8(0).u32(next).u32(0).u16(0x5A8C).u16(0x6000).u16(0x4321).u32(size).u32(size);
    e.u8(2).u8(1).u8(deleted ? 1 : 0).u8(0).u32(0).u16(0).field(name, 13).u16(0).u8(0).u16(0).u8(0).u8(0);
    return e.bytes;
}
std::string ZooArchiveHeader() {
    return LeBytes().field("ZOO 2.10 Archive.\x1A", 20).u32(kZooTag).u32(34).u32(static_cast<std::uint32_t>(-34)).u8(2).u8(0).bytes;
}

using test::Names;

class ListArcZooTest : public ::testing::Test {
protected:
    test::Listing List(const std::string& bytes, const std::string& file) {
        return test::ListBytes(dir_.Path(), file, bytes);
    }
    test::TempDir dir_;
};

TEST_F(ListArcZooTest, ArcSubdirectoriesPrefixTheirEntriesUntilTheirEnd) {
    const std::string inner = ArcFile("IN.TXT", "abc") + ArcEnd(31);
    const std::string archive = ArcFile("A.TXT", "hello") +
                                ArcHeader(30, "SUB", static_cast<std::uint32_t>(inner.size()), 0) + inner +
                                ArcFile("B.TXT", "xy") + ArcEnd();
    const auto listing = List(archive, "a.arc");
    ASSERT_TRUE(listing.activated);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"A.TXT", "SUB/", "SUB/IN.TXT", "B.TXT"}));
    ASSERT_EQ(listing.entries.size(), 4u);
    EXPECT_EQ(listing.entries[1].ExternalAttr, 0x10u);
    EXPECT_EQ(listing.entries[1].CompressMethodName, "<Dir>");
    EXPECT_EQ(listing.entries[2].FileCRC, 0x1234u);
    EXPECT_EQ(listing.total_files, 3);
}

TEST_F(ListArcZooTest, ArcOldStoredHeadersAndBrokenTails) {
    // Method 1 headers have no original-size field.
    const std::string old = LeBytes().u8(0x1A).u8(1).field("OLD.TXT", 13).u32(2).u16(0).u16(0).u16(0).bytes + "hi";
    EXPECT_EQ(Names(List(old + ArcFile("A.TXT", "x") + ArcEnd(), "old.arc")),
              (std::vector<std::string>{"OLD.TXT", "A.TXT"}));

    const std::string good = ArcFile("A.TXT", "hello");
    const std::string cases[] = {ArcHeader(2, "BIG", 0xFFFFFFF0u, 1), ArcEnd(31) + ArcFile("C.TXT", "c"),
                                 good.substr(0, 20), "garbage"};
    for (const std::string& tail : cases) {
        EXPECT_EQ(Names(List(good + tail, "b.arc")), (std::vector<std::string>{"A.TXT"}));
    }
}

TEST_F(ListArcZooTest, ZooFollowsForwardPointersOnly) {
    const std::uint32_t first = 34;
    const std::uint32_t entry = static_cast<std::uint32_t>(ZooEntry("", 0, 0).size());
    // Two entries and a deleted one, then an entry pointing back at the first: the walk must end there.
    const std::string archive = ZooArchiveHeader() + ZooEntry("a.txt", first + entry, 5) +
                                ZooEntry("gone.txt", first + 2 * entry, 1, true) +
                                ZooEntry("b.txt", first + 3 * entry, 7) + ZooEntry("loop.txt", first, 9) +
                                ZooEntry("", 0, 0);
    const auto listing = List(archive, "a.zoo");
    ASSERT_TRUE(listing.activated);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"a.txt", "b.txt"}));
    ASSERT_EQ(listing.entries.size(), 2u);
    EXPECT_EQ(listing.entries[1].UnpackedSize, 7);
    EXPECT_EQ(listing.entries[1].FileCRC, 0x4321u);
    EXPECT_EQ(listing.entries[1].VersionMadeBy, 2);
    EXPECT_EQ(listing.entries[1].VersionNeeded, 1);
    // The walk stopped before the entry that ends the directory: the archive is damaged, and says so.
    EXPECT_EQ(listing.errors, std::vector<int>{25114});

    // An archive header whose check word does not match its first-entry offset lists nothing.
    std::string bad_header = archive;
    bad_header[28] = 0;
    const auto refused = List(bad_header, "b.zoo");
    EXPECT_TRUE(refused.entries.empty());
    EXPECT_EQ(refused.errors, std::vector<int>{25114});
}

TEST_F(ListArcZooTest, ZooDirectoryCutShortIsReported) {
    const std::uint32_t first = 34;
    const std::uint32_t entry = static_cast<std::uint32_t>(ZooEntry("", 0, 0).size());
    const std::string archive =
        ZooArchiveHeader() + ZooEntry("a.txt", first + entry, 5) + ZooEntry("b.txt", first + 2 * entry, 7);
    const auto whole = List(archive + ZooEntry("", 0, 0), "a.zoo");
    EXPECT_EQ(Names(whole), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_TRUE(whole.errors.empty());
    const auto cut = List(archive, "b.zoo");
    EXPECT_EQ(Names(cut), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(cut.errors, std::vector<int>{25236});
}

}  // namespace
}  // namespace kv
