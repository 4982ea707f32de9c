#include <gtest/gtest.h>

#include <vector>

#include "engine/codecs/memory_byte_io.h"

namespace kv {
namespace {

TEST(MemoryByteIo, SourceHandsOutChunksAndSinkKeepsItsLimit) {
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5};
    TMemorySource source(bytes, 2);
    std::uint8_t buffer[8];
    EXPECT_EQ(source.Read(buffer, 8), 2u);
    EXPECT_EQ(source.Read(buffer, 1), 1u);
    EXPECT_EQ(source.Read(buffer, 8), 2u);
    EXPECT_EQ(source.Read(buffer, 8), 0u);

    TStringSink sink(3);
    EXPECT_TRUE(sink.Write(bytes.data(), 3));
    EXPECT_FALSE(sink.Write(bytes.data(), 1));
    EXPECT_EQ(sink.Bytes, std::string("\x01\x02\x03"));
}

}  // namespace
}  // namespace kv
