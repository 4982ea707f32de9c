#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/codecs/arj_fastest.h"
#include "engine/codecs/memory_byte_io.h"
#include "support/archiver.h"
#include "support/msb_bit_writer.h"
#include "support/sample_data.h"
#include "support/test_support.h"

namespace kv {
namespace {

// Method 4's stepped values: `steps` one-bits (fewer than the most ends with a zero-bit), then the bits of
// the width reached.
void PutStepped(test::MsbBitWriter& writer, unsigned steps, unsigned max_steps, unsigned first_width,
                std::uint32_t rest) {
    for (unsigned step = 0; step < steps; ++step) writer.Put(1, 1);
    if (steps < max_steps) writer.Put(0, 1);
    writer.Put(rest, first_width + steps);
}

void PutLiteral(test::MsbBitWriter& writer, char c) {
    writer.Put(0, 1);
    writer.Put(static_cast<std::uint8_t>(c), 8);
}

// A match of `length` (3 to 256) bytes `distance` (1 to 15 872) back.
void PutMatch(test::MsbBitWriter& writer, unsigned length, unsigned distance) {
    // Length code n = length - 2 sits `steps` one-bits in, at 2^steps - 1, with `steps` bits beyond.
    const unsigned code = length - 2;
    unsigned steps = 0;
    while (steps < 7 && code >= (2u << steps) - 1) ++steps;
    PutStepped(writer, steps, 7, 0, code - ((1u << steps) - 1));
    unsigned d = distance - 1;
    unsigned dsteps = 0;
    while (dsteps < 4 && d >= (1u << (9 + dsteps))) d -= 1u << (9 + dsteps++);
    PutStepped(writer, dsteps, 4, 9, d);
}

std::string Decode(const std::vector<std::uint8_t>& bytes, std::uint64_t size, TDecodeResult expected) {
    TMemorySource source(bytes, 3);
    TStringSink sink;
    EXPECT_EQ(UnArjFastest(source, sink, size), expected);
    return sink.Bytes;
}

TEST(ArjFastest, LiteralsNearAndFarMatchesAndTheLongestLength) {
    test::MsbBitWriter writer;
    PutLiteral(writer, 'a');
    PutLiteral(writer, 'b');
    PutMatch(writer, 4, 2);  // abab
    PutMatch(writer, 256, 1);
    // Far back, before the first byte: zeros.
    PutMatch(writer, 3, 15872);
    const std::string expected = "ab" + std::string("abab") + std::string(256, 'b') + std::string(3, '\0');
    EXPECT_EQ(Decode(writer.Bytes(), expected.size(), TDecodeResult::drOk), expected);
    // A match that runs past the size stops there.
    EXPECT_EQ(Decode(writer.Bytes(), 10, TDecodeResult::drOk), expected.substr(0, 10));
}

TEST(ArjFastest, ADataEndBeforeTheSizeIsCut) {
    test::MsbBitWriter writer;
    PutLiteral(writer, 'x');
    PutMatch(writer, 20, 1);
    std::vector<std::uint8_t> bytes = writer.Bytes();
    EXPECT_EQ(Decode(bytes, 21, TDecodeResult::drOk), std::string(21, 'x'));
    // Asking for more takes bits the input does not hold.
    Decode(bytes, 40, TDecodeResult::drTruncated);
    bytes.resize(1);
    Decode(bytes, 21, TDecodeResult::drTruncated);
}

TEST(ArjFastest, RefusingSinkStops) {
    test::MsbBitWriter writer;
    PutLiteral(writer, 'x');
    PutMatch(writer, 256, 1);
    TMemorySource source(writer.Bytes());
    TStringSink sink(10);
    EXPECT_EQ(UnArjFastest(source, sink, 257), TDecodeResult::drStopped);
}

}  // namespace
}  // namespace kv
