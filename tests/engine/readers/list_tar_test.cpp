#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/dates.h"
#include "support/listing.h"
#include "support/tar_builder.h"
#include "support/test_support.h"

namespace kv {
namespace {

using test::Names;
using test::PaxRecord;
using test::TarData;
using test::TarHeader;
using test::TarMember;

class TarListTest : public ::testing::Test {
protected:
    test::Listing List(const std::string& bytes, const std::function<void(TArcLister&)>& prepare = {}) {
        return test::ListBytes(dir_.Path(), "a.tar", bytes, prepare);
    }
    test::TempDir dir_;
};

TEST_F(TarListTest, MembersAndTheirFields) {
    const std::string tar = TarMember({.name = "a.txt"}, "hello") + TarMember({.name = "dir/", .type = '5'}, "") +
                            TarMember({.name = "link", .type = '2'}, "") + TarMember({.name = "fifo", .type = '6'}, "") +
                            TarMember({.name = "dir/b.txt"}, std::string(700, 'b')) + test::TarEnd();
    const test::Listing listing = List(tar);
    EXPECT_EQ(listing.type, atTar);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"a.txt", "dir/", "link", "dir/b.txt"}));
    EXPECT_EQ(listing.offsets, (std::vector<int>{0, 1024, 1536, 2560}));
    const TEntryRecord& a = listing.entries[0];
    EXPECT_EQ(a.UnpackedSize, 5);
    EXPECT_EQ(a.PackedSize, 5);
    EXPECT_EQ(a.FileDate, UnixTimeToDateTime(014524505460));
    EXPECT_EQ(a.CompressMethodName, "Tarred");
    EXPECT_NE(a.FileCRC, 0u);  // the header checksum
    EXPECT_EQ(listing.entries[1].ExternalAttr, 0x10u);
    EXPECT_EQ(listing.entries[3].UnpackedSize, 700);
    EXPECT_EQ(listing.total_files, 4);
}

TEST_F(TarListTest, BadChecksumEndsTheWalk) {
    const std::string tar = TarMember({.name = "first"}, "1") +
                            TarMember({.name = "second", .break_checksum = true}, "2") +
                            TarMember({.name = "third"}, "3") + test::TarEnd();
    EXPECT_EQ(Names(List(tar)), (std::vector<std::string>{"first"}));
}

TEST_F(TarListTest, HiddenDirectoriesAreNotReported) {
    const std::string tar = TarMember({.name = "d/", .type = '5'}, "") + TarMember({.name = "d/f"}, "x") + test::TarEnd();
    const test::Listing listing = List(tar, [](TArcLister& lister) { lister.ShowEmptyDirs = false; });
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"d/f"}));
}

TEST_F(TarListTest, LongNamesFromEveryExtension) {
    const std::string dir150 = std::string(60, 'd') + "/" + std::string(89, 'f');  // 150 bytes
    const std::string gnu_name = std::string(300, 'g') + "/name.txt";
    const std::string pax_path = std::string(200, 'p') + "/caf\xC3\xA9.txt";
    const std::string pax_data = PaxRecord("path", pax_path) + PaxRecord("size", "3");
    const std::string global_data = PaxRecord("path", "global.txt");
    std::string base256_size(12, '\0');
    base256_size[0] = '\x80';
    base256_size[11] = 9;

    const std::string tar =
        TarMember({.name = std::string(89, 'f'), .prefix = std::string(60, 'd')}, "u") +
        TarMember({.name = "././@LongLink", .type = 'L'}, gnu_name + std::string(1, '\0')) +
        TarMember({.name = "cut-gnu"}, "g") +
        TarMember({.name = "PaxHeaders/x", .type = 'x'}, pax_data) +
        // The pax size wins over the size field; the data is as long as it says.
        TarHeader({.name = "cut-pax", .size = 0}) + TarData("abc") +
        TarHeader({.name = "binary", .size_field = base256_size}) + TarData("123456789") +
        TarMember({.name = "GlobalHead", .type = 'g'}, global_data) + TarMember({.name = "plain"}, "") +
        test::TarEnd();
    const test::Listing listing = List(tar);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{dir150, gnu_name, pax_path, "binary", "global.txt"}));
    ASSERT_EQ(listing.entries.size(), 5u);
    EXPECT_EQ(listing.entries[2].UnpackedSize, 3);
    EXPECT_EQ(listing.entries[3].UnpackedSize, 9);
}

TEST_F(TarListTest, DamagedArchivesEndCleanly) {
    std::string tar;
    for (int i = 0; i < 5; ++i) tar += TarMember({.name = "f" + std::to_string(i)}, std::string(600, 'x'));
    tar += TarMember({.name = "LongLink", .type = 'L'}, std::string(2000, 'n'));
    tar += TarMember({.name = "PaxHeader", .type = 'x'}, "99999999 path=x\n12 size=-5\n") + test::TarEnd();
    for (std::size_t cut = 0; cut < tar.size(); cut += 256) {
        EXPECT_LE(List(tar.substr(0, cut)).entries.size(), 5u) << "cut at " << cut;
    }
    // A size field claiming more than the file holds ends the walk after that member.
    const std::string huge = TarHeader({.name = "huge", .size_field = std::string("77777777777\0", 12)}) +
                             TarMember({.name = "after"}, "x") + test::TarEnd();
    EXPECT_EQ(Names(List(huge)), (std::vector<std::string>{"huge"}));
}

}  // namespace
}  // namespace kv
