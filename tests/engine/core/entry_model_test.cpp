#include <gtest/gtest.h>

#include <vector>

#include "engine/core/entry_sizes.h"
#include "engine/core/file_attributes.h"
#include "engine/core/header_obj.h"

namespace kv {
namespace {

TEST(EntrySizes, CipherHeaderAndLhaRules) {
    struct Case {
        TArcType type;
        int method;
        bool encrypted;
        std::int64_t packed;
        std::int64_t unpacked;
        std::int64_t expected;
    };
    const Case cases[] = {
        {atZip, 8, true, 112, 500, 100},
        {atZip, 8, true, 10, 500, 10},     // too small to hold a cipher header
        {atZip, 0, true, 12, 0, 0},
        {atZip, 8, false, 112, 500, 112},
        {atZip, 99, true, 112, 500, 112},  // AES keeps its own header accounting
        {atBhExe, 2, true, 112, 500, 100},
        {atArj, 1, true, 112, 500, 112},
        {atLzh, '5', false, 900, 500, 500},
        {atLha, '5', false, 300, 500, 300},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReportedPackedSize(c.type, c.method, c.encrypted, c.packed, c.unpacked), c.expected)
            << ArcTypeValueName(c.type) << " " << c.packed;
    }
}

TEST(FileAttributes, EveryElementHasItsBit) {
    EXPECT_EQ(AttributesToBits({}), 0u);
    EXPECT_EQ(AttributesToBits({fsZeroAttr}), 0u);
    EXPECT_EQ(AttributesToBits({fsDirectory, fsReadOnly}), 0x11u);
    EXPECT_EQ(AttributesToBits({fsZeroAttr, fsReadOnly, fsHidden, fsSysFile, fsVolumeID, fsDirectory, fsArchive,
                                fsCompressed, fsEncrypted}),
              0x483Fu);
}

TEST(HeaderObj, KeepsArchiveOrderAndBoundsBlocks) {
    TUnBaseHeaderObj list;
    list.Add(0x20, 100);
    const std::vector<std::uint8_t> header{1, 2, 3};
    ASSERT_TRUE(list.Add(0x10, 50, header));
    const std::vector<std::uint8_t> tooBig(TUnBaseHeaderObj::kMaxBlockSize + 1);
    EXPECT_FALSE(list.Add(0x20, 200, tooBig));
    EXPECT_TRUE(list.Add(0x20, 300, std::vector<std::uint8_t>(TUnBaseHeaderObj::kMaxBlockSize)));

    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0].Offset, 100);
    EXPECT_TRUE(list[0].Block.empty());
    EXPECT_EQ(list[1].Attr, 0x10u);
    EXPECT_EQ(list[1].Block, header);
    EXPECT_EQ(list[2].Block.size(), TUnBaseHeaderObj::kMaxBlockSize);
    EXPECT_THROW(list[3], std::out_of_range);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace kv
