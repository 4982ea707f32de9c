#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "engine/core/dates.h"
#include "support/listing.h"
#include "support/old_formats_fixture.h"
#include "support/test_support.h"

namespace kv {
namespace {

using test::LeBytes;

constexpr std::uint32_t kDosTime = 0x5A8C6000;  // 12 April 2025, 12:00:00

// A level 0 or level 1 header; level 1 carries `dir` in an extended header (0xFF between folders).
std::string LhaLevel01(int level, const std::string& name, const std::string& data, const std::string& dir = {}) {
    LeBytes ext;
    if (level == 1 && !dir.empty()) ext.u8(0x02).text(dir).u16(0);  // type, data, next size
    const std::size_t base = 22 + name.size() + 2 + (level == 1 ? 3 : 0);
    LeBytes h;
    h.u8(static_cast<unsigned>(base - 2)).u8(0).text("-lh0-").u32(static_cast<std::uint32_t>(data.size() + ext.size()));
    h.u32(static_cast<std::uint32_t>(data.size())).u32(kDosTime).u8(0x20).u8(level).u8(static_cast<unsigned>(name.size()));
    h.text(name).u16(0x1234);
    if (level == 1) h.u8('M').u16(static_cast<unsigned>(ext.size()));  // OS byte, size of the first extended header
    return h.bytes + ext.bytes + data;
}

// A level 2 header with the name and folder in extended headers.
std::string LhaLevel2(const std::string& method, const std::string& dir, const std::string& name, const std::string& data,
                      std::uint32_t unix_time) {
    LeBytes ext;
    if (!dir.empty()) ext.u16(static_cast<unsigned>(dir.size() + 3)).u8(0x02).text(dir);
    ext.u16(static_cast<unsigned>(name.size() + 3)).u8(0x01).text(name).u16(0);
    const std::size_t total = 24 + ext.size();
    LeBytes h;
    h.u16(static_cast<unsigned>(total)).text(method).u32(static_cast<std::uint32_t>(data.size()));
    h.u32(static_cast<std::uint32_t>(data.size())).u32(unix_time).u8(0x20).u8(2).u16(0xBEEF).u8('U');
    return h.bytes + ext.bytes + data;
}

using test::Names;

class ListLhaTest : public ::testing::Test {
protected:
    test::Listing List(const std::string& bytes, const std::string& file = "a.lzh") {
        return test::ListBytes(dir_.Path(), file, bytes);
    }
    test::TempDir dir_;
};

TEST_F(ListLhaTest, HeaderLevelsNamesFoldersAndRecord) {
    const std::uint32_t unix_time = 1700000000;
    const std::string archive = LhaLevel01(0, "dos\\a.txt", "hello") + LhaLevel01(1, "b.txt", "12345678", "docs\xFFsub\xFF") +
                                LhaLevel2("-lhd-", "tree\xFF", "", "", unix_time) +
                                LhaLevel2("-lh0-", "tree\xFF", "c.txt", "abc", unix_time) + std::string(1, '\0');
    const auto listing = List(archive);
    ASSERT_TRUE(listing.activated);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"dos/a.txt", "docs/sub/b.txt", "tree/", "tree/c.txt"}));
    ASSERT_EQ(listing.entries.size(), 4u);
    const auto& level1 = listing.entries[1];
    EXPECT_EQ(level1.UnpackedSize, 8);
    EXPECT_EQ(level1.PackedSize, 8);  // the extended header is not data
    EXPECT_EQ(level1.FileCRC, 0x1234u);
    EXPECT_EQ(level1.CompressMethodName, "Stored");
    EXPECT_EQ(level1.FileDate, DosDateTimeToDateTime(kDosTime));
    EXPECT_EQ(listing.entries[2].ExternalAttr, 0x10u);
    EXPECT_EQ(listing.entries[2].CompressMethodName, "<Dir>");
    EXPECT_EQ(listing.entries[3].FileDate, UnixTimeToDateTime(unix_time));
    EXPECT_EQ(listing.entries[3].FileCRC, 0xBEEFu);
    EXPECT_EQ(listing.offsets[1], static_cast<int>(LhaLevel01(0, "dos\\a.txt", "hello").size()));
    EXPECT_EQ(listing.total_files, 3);
}

TEST_F(ListLhaTest, MacBinaryWrapperIsSkipped) {
    std::string wrapper(128, '\0');
    wrapper[1] = 5;
    const auto listing = List(wrapper + LhaLevel01(0, "a.txt", "hello") + std::string(1, '\0'));
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"a.txt"}));
}

TEST_F(ListLhaTest, BrokenHeadersEndTheWalkAfterTheGoodEntries) {
    const std::string good = LhaLevel01(0, "a.txt", "hello");
    std::string name_past_header = LhaLevel01(0, "b.txt", "x");
    name_past_header[21] = static_cast<char>(200);  // name longer than the header
    std::string data_past_end = LhaLevel01(0, "c.txt", "y");
    data_past_end[7] = static_cast<char>(0xFF);  // packed size beyond the file
    std::string level3 = LhaLevel2("-lh0-", "", "d.txt", "z", 1);
    level3[20] = 3;
    std::string ext_past_header = LhaLevel2("-lh0-", "", "e.txt", "z", 1);
    ext_past_header[24] = static_cast<char>(0xF0);  // first extended header larger than the header
    const std::string cases[] = {name_past_header, data_past_end, level3, good.substr(0, 30)};
    for (const std::string& tail : cases) {
        const auto listing = List(good + tail);
        EXPECT_TRUE(listing.activated);
        EXPECT_EQ(Names(listing), (std::vector<std::string>{"a.txt"}));
    }
    // A level 2 header whose extended headers overrun it keeps its place in the walk, only its name is lost.
    const auto listing = List(good + ext_past_header + good);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"a.txt", "", "a.txt"}));
}

TEST_F(ListLhaTest, ArchivesOfTheLhaToolAtEveryHeaderLevel) {
    if (!test::HaveProgram("jlha")) GTEST_SKIP() << "jlha (jlha-utils) not installed";
    std::filesystem::create_directories(dir_ / "src" / "sub");
    test::WriteFile(dir_ / "src" / "a.txt", "hello\n");
    test::WriteFile(dir_ / "src" / "sub" / "b.bin", std::string(3000, 'b') + "tail");
    const double now = UnixTimeToDateTime(std::time(nullptr));
    for (int level = 0; level <= 2; ++level) {
        SCOPED_TRACE(level);
        const std::string archive = (dir_ / ("t" + std::to_string(level) + ".lzh")).string();
        ASSERT_EQ(test::RunCommand("cd '" + (dir_ / "src").string() + "' && jlha a" + std::to_string(level) + " '" +
                                   archive + "' a.txt sub/b.bin"),
                  0);
        const auto listing = test::ListArchive(archive);
        ASSERT_EQ(Names(listing), (std::vector<std::string>{"a.txt", "sub/b.bin"}));
        EXPECT_EQ(listing.entries[0].UnpackedSize, 6);
        EXPECT_EQ(listing.entries[1].UnpackedSize, 3004);
        EXPECT_LE(listing.entries[1].PackedSize, 3004);
        // The stored time reads back as today whatever the level keeps it as.
        EXPECT_NEAR(listing.entries[0].FileDate, now, 1.0);
    }
}

}  // namespace
}  // namespace kv
