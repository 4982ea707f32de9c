#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/error_codes.h"
#include "support/listing.h"
#include "support/arj_fixture.h"
#include "support/sample_data.h"
#include "support/test_support.h"

namespace kv {
namespace {

using test::LeBytes;

using test::ArjHeader;
using test::Names;

class ListArjTest : public ::testing::Test {
protected:
    test::TempDir dir_;
};

TEST_F(ListArjTest, EntriesFoldersAndAnOversizedHeader) {
    LeBytes oversized;
    oversized.u8(0x60).u8(0xEA).u16(65000).zeros(200);
    const std::string archive = ArjHeader(2, "main.arj", "") + ArjHeader(3, "docs", "") +
                                ArjHeader(0, "docs/a.txt", "hello", 0x01) + oversized.bytes;
    const auto path = dir_ / "a.arj";
    test::WriteFile(path, archive);
    const auto listing = test::ListArchive(path.string());
    ASSERT_TRUE(listing.activated);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"docs/", "docs/a.txt"}));
    EXPECT_EQ(listing.errors, std::vector<int>{ecode::kBadFileHeader});
    ASSERT_EQ(listing.entries.size(), 2u);
    EXPECT_EQ(listing.entries[0].CompressMethodName, "<Dir>");
    EXPECT_TRUE(listing.entries[1].Encrypted);
    EXPECT_EQ(listing.entries[1].FileCRC, 0xCAFEF00Du);
    EXPECT_EQ(listing.entries[1].VersionMadeBy, 11);
    EXPECT_EQ(listing.entries[1].VersionNeeded, 1);
}

TEST_F(ListArjTest, TruncatedArchivesEndCleanly) {
    const std::string archive = ArjHeader(2, "main.arj", "") + ArjHeader(0, "a.txt", "hello") + ArjHeader(0, "b.txt", "world");
    const auto path = dir_ / "t.arj";
    for (std::size_t size = 0; size < archive.size(); size += 7) {
        test::WriteFile(path, archive.substr(0, size));
        const auto listing = test::ListArchive(path.string());
        EXPECT_LE(listing.entries.size(), 2u) << size;
    }
}

class ArjToolTest : public ListArjTest {
protected:
    void SetUp() override {
        if (!test::HaveProgram("arj")) GTEST_SKIP() << "arj not installed";
        std::filesystem::create_directories(dir_ / "src" / "sub");
        test::WriteFile(dir_ / "src" / "hello.txt", "hello world\n");
        test::WriteFile(dir_ / "src" / "sub" / "big.bin", test::RandomBytes(150000));
    }
    int Arj(const std::string& arguments) {
        std::string output;
        return test::RunCommand("cd '" + (dir_ / "src").string() + "' && arj " + arguments + " </dev/null", &output);
    }
};

TEST_F(ArjToolTest, ArchiveWithASubfolder) {
    ASSERT_EQ(Arj("a -y -r -m1 ../t.arj hello.txt sub"), 0);
    const auto listing = test::ListArchive((dir_ / "t.arj").string());
    std::vector<std::string> names = Names(listing);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"hello.txt", "sub/big.bin"}));
    for (const auto& entry : listing.entries) {
        EXPECT_EQ(entry.UnpackedSize, entry.FileName == "hello.txt" ? 12 : 150000) << entry.FileName;
    }
}

TEST_F(ArjToolTest, FilesSplitOverVolumesListOnceWithTheirPartsAddedUp) {
    ASSERT_EQ(Arj("a -y -m0 -v60K ../mv.arj sub/big.bin hello.txt"), 0);
    ASSERT_TRUE(std::filesystem::exists(dir_ / "mv.a02"));
    std::vector<std::string> asked;
    const auto listing = test::ListArchive((dir_ / "mv.arj").string(), [&](TArcLister& lister) {
        lister.OnNextVolume = [&](TObject*, std::string& name, int, bool, bool&) {
            asked.push_back(std::filesystem::path(name).filename().string());
        };
    });
    EXPECT_EQ(asked, (std::vector<std::string>{"mv.a01", "mv.a02"}));
    ASSERT_EQ(Names(listing), (std::vector<std::string>{"sub/big.bin", "hello.txt"}));
    EXPECT_EQ(listing.entries[0].UnpackedSize, 150000);
    EXPECT_EQ(listing.entries[0].PackedSize, 150000);
    EXPECT_EQ(listing.total_unpacked, 150012);

    // Without its second volume the split file lists with the part that is there, and the walk ends.
    std::filesystem::remove(dir_ / "mv.a01");
    const auto partial = test::ListArchive((dir_ / "mv.arj").string(), [](TArcLister& lister) {
        lister.OnNextVolume = [](TObject*, std::string&, int, bool, bool&) {};
    });
    ASSERT_EQ(Names(partial), (std::vector<std::string>{"sub/big.bin"}));
    EXPECT_LT(partial.entries[0].UnpackedSize, 150000);
    EXPECT_EQ(partial.errors, std::vector<int>{ecode::kFileNotFound});
}

}  // namespace
}  // namespace kv
