#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/dates.h"
#include "support/listing.h"
#include "support/test_support.h"
#include "support/zip_fixture.h"

namespace kv {
namespace {

using test::Put16;
using test::Put32;

std::string AceMain() {
    std::string fields;
    fields += '\0';  // type
    Put16(fields, 0);
    fields += "**ACE**";
    fields += '\x14';
    fields += '\x14';  // version 2.0
    fields += '\x02';
    fields += '\0';
    Put32(fields, 0);
    fields += std::string(8, '\0');
    fields += '\0';  // no AV string
    std::string out;
    Put16(out, 0);
    Put16(out, static_cast<std::uint32_t>(fields.size()));
    return out + fields;
}

struct AceFile {
    std::string name;
    std::uint16_t flags = 0x0001;
    std::uint32_t packed = 0;
    std::uint32_t original = 0;
    std::uint32_t attributes = 0x20;
    std::uint32_t stored_crc = 0xFFFFFFFF;
    std::uint8_t type = 1;
    std::uint8_t quality = 3;
};

std::string AceFileBlock(const AceFile& f) {
    std::string fields;
    fields += '\x01';
    Put16(fields, f.flags);
    Put32(fields, f.packed);
    Put32(fields, f.original);
    Put32(fields, 0x5A2E6C22);
    Put32(fields, f.attributes);
    Put32(fields, f.stored_crc);
    fields += static_cast<char>(f.type);
    fields += static_cast<char>(f.quality);
    Put16(fields, 0);
    Put16(fields, 0);
    Put16(fields, static_cast<std::uint32_t>(f.name.size()));
    fields += f.name;
    std::string out;
    Put16(out, 0);
    Put16(out, static_cast<std::uint32_t>(fields.size()));
    return out + fields + std::string(f.packed, 'd');
}

class ListAceTest : public ::testing::Test {
protected:
    std::string Write(const std::string& bytes) {
        const auto path = dir_ / "a.ace";
        test::WriteFile(path, bytes);
        return path.string();
    }
    test::TempDir dir_;
};

TEST_F(ListAceTest, FileHeadersFillTheRecord) {
    const std::string archive = AceMain() + AceFileBlock({.name = "docs", .attributes = 0x10, .type = 0, .quality = 0}) +
                                AceFileBlock({.name = "docs\\a.txt", .flags = 0x4001, .packed = 9, .original = 30,
                                              .stored_crc = ~0x0BADC0DEu}) +
                                AceFileBlock({.name = "b.txt", .packed = 4, .original = 4, .quality = 5});
    const auto listing = test::ListArchive(Write(archive));
    ASSERT_EQ(listing.type, atAce);
    ASSERT_EQ(listing.entries.size(), 3u);
    EXPECT_EQ(listing.entries[0].FileName, "docs/");
    const auto& file = listing.entries[1];
    EXPECT_EQ(file.FileName, "docs/a.txt");
    EXPECT_EQ(file.PackedSize, 9);
    EXPECT_EQ(file.UnpackedSize, 30);
    // The header keeps the complement of the CRC-32.
    EXPECT_EQ(file.FileCRC, 0x0BADC0DEu);
    EXPECT_TRUE(file.Encrypted);
    EXPECT_EQ(file.CompressMethodName, "Normal");
    EXPECT_EQ(file.VersionMadeBy, 20);
    EXPECT_EQ(file.VersionNeeded, 20);
    EXPECT_DOUBLE_EQ(file.FileDate, DosDateTimeToDateTime(0x5A2E6C22));
    EXPECT_EQ(listing.entries[2].CompressMethodName, "Best");
    EXPECT_EQ(listing.total_files, 2);
    EXPECT_EQ(listing.total_packed, 13);
}

TEST_F(ListAceTest, TruncatedAndGarbledArchivesEndCleanly) {
    const std::string whole = AceMain() + AceFileBlock({.name = "a.txt", .packed = 5, .original = 5}) +
                              AceFileBlock({.name = "b.txt", .packed = 3, .original = 3});
    for (std::size_t size = 14; size <= whole.size(); ++size) test::ListArchive(Write(whole.substr(0, size)));
    for (std::size_t at = 14; at < whole.size(); ++at) {
        std::string garbled = whole;
        garbled[at] = static_cast<char>(0xFF);
        test::ListArchive(Write(garbled));
    }
}

}  // namespace
}  // namespace kv
