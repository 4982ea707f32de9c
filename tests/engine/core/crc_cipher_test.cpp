#include <gtest/gtest.h>

#include "engine/core/crc.h"

namespace kv {
namespace {

TEST(Crc, KnownVectors) {
    EXPECT_EQ(Crc32Of("abc", 3), 0x352441C2u);
    EXPECT_EQ(UpdateCrc16(0, "abc", 3), 0x9738u);
}

}  // namespace
}  // namespace kv
