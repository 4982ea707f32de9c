#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/error_codes.h"
#include "support/listing.h"
#include "support/old_formats_fixture.h"
#include "support/test_support.h"

namespace kv {
namespace {

using test::LeBytes;

std::string BhEntry(const std::string& name, const std::string& data, std::uint8_t flags = 0, std::uint32_t original = 0) {
    LeBytes h;
    h.text("BH\x05\x07").u16(static_cast<unsigned>(37 + name.size())).u8(37).u8(3).u8(2).u8(flags).u8(0);
    h.u32(0x5A8C6000).u32(static_cast<std::uint32_t>(data.size())).u32(original != 0 ? original : static_cast<std::uint32_t>(data.size()));
    h.u32(0xCAFEF00D).u16(0x20).u32(0).u16(static_cast<unsigned>(name.size())).u16(0);
    return h.bytes + name + data;
}

// An HA entry: method nibble, sizes, CRC-32, time, path and name, one byte of machine information.
std::string HaEntry(std::uint8_t method, const std::string& path, const std::string& name, const std::string& data) {
    LeBytes h;
    h.u8(0x20 | method).u32(static_cast<std::uint32_t>(data.size())).u32(static_cast<std::uint32_t>(data.size()));
    h.u32(0x0BADBEEF).u32(1700000000).text(path).u8(0).text(name).u8(0).u8(1).u8(0x20);
    return h.bytes + data;
}
std::string HaArchive(int count, const std::string& entries) { return LeBytes().text("HA").u16(count).bytes + entries; }

using test::Names;

class ListBhHaTest : public ::testing::Test {
protected:
    test::Listing List(const std::string& bytes, const std::string& file) {
        return test::ListBytes(dir_.Path(), file, bytes);
    }
    test::TempDir dir_;
};

TEST_F(ListBhHaTest, BhNamesOfTheirStoredLengthAndEncipheredSizes) {
    const std::string long_name = "dir\\" + std::string(300, 'n');
    const std::string archive =
        BhEntry("a.txt", "hello") + BhEntry(long_name, "x") + BhEntry("secret.txt", std::string(112, 's'), 0x01, 100);
    const auto listing = List(archive + "BH\x05\x07" + std::string(40, '\0'), "a.bh");
    ASSERT_TRUE(listing.activated);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"a.txt", "dir/" + std::string(300, 'n'), "secret.txt"}));
    ASSERT_EQ(listing.entries.size(), 3u);
    EXPECT_EQ(listing.entries[0].FileCRC, 0xCAFEF00Du);
    EXPECT_EQ(listing.entries[0].VersionMadeBy, 3);
    EXPECT_EQ(listing.entries[0].VersionNeeded, 2);
    EXPECT_TRUE(listing.entries[2].Encrypted);
    EXPECT_EQ(listing.entries[2].PackedSize, 100);  // without the 12-byte cipher header

    const std::string good = BhEntry("a.txt", "hello");
    for (const std::string& tail : {BhEntry("big", "x").substr(0, 20), std::string("BH\x05\x07\x10\x00", 6) + std::string(31, '\xFF')}) {
        EXPECT_EQ(Names(List(good + tail, "b.bh")), (std::vector<std::string>{"a.txt"}));
    }
}

TEST_F(ListBhHaTest, HaPathsNamesAndUnterminatedNames) {
    const std::string entries = HaEntry(0, "", "a.txt", "hello") + HaEntry(14, "docs\xFF", "sub", "") +
                                HaEntry(2, "docs\xFFsub\xFF", "b.txt", "xyz");
    const auto listing = List(HaArchive(3, entries), "a.ha");
    ASSERT_TRUE(listing.activated);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"a.txt", "docs/sub/", "docs/sub/b.txt"}));
    ASSERT_EQ(listing.entries.size(), 3u);
    EXPECT_EQ(listing.entries[2].FileCRC, 0x0BADBEEFu);
    EXPECT_EQ(listing.entries[2].CompressMethodName, "HSC");
    EXPECT_EQ(listing.entries[2].VersionMadeBy, 2);
    EXPECT_TRUE(listing.errors.empty());

    // A name that runs to the end of the file without its terminator is a bad header.
    const std::string unterminated = HaEntry(0, "", "a.txt", "hello") + HaEntry(0, "", "b", "").substr(0, 17) + "name";
    const auto bad = List(HaArchive(2, unterminated), "b.ha");
    EXPECT_EQ(Names(bad), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(bad.errors, std::vector<int>{ecode::kBadFileHeader});
}

}  // namespace
}  // namespace kv
