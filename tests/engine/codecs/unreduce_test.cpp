#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/codecs/memory_byte_io.h"
#include "engine/codecs/unreduce.h"
#include "support/lsb_bit_writer.h"

namespace kv {
namespace {

// A reduced stream with empty follower lists, so each first-stage byte is stored as it is.
std::vector<std::uint8_t> ReducedStream(const std::vector<std::uint8_t>& stage_bytes) {
    test::LsbBitWriter writer;
    for (int byte = 255; byte >= 0; --byte) writer.Put(0, 6);
    for (const std::uint8_t byte : stage_bytes) writer.Put(byte, 8);
    return writer.Bytes();
}

std::string Repeat(const std::string& text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
}

struct ReduceCase {
    const char* name;
    int factor;
    std::vector<std::uint8_t> stage_bytes;
    std::string output;
};

TEST(Unreduce, ExpandsLiteralsAndBackReferences) {
    const ReduceCase cases[] = {
        {"DLE 0 is the byte 144", 1, {'A', 144, 0, 'B'}, "A\x90" "B"},
        // 0x01: length 1 + 3, then distance 1 + 1.
        {"back reference", 1, {'A', 'B', 144, 0x01, 1}, "ABABAB"},
        // Factor 4 keeps 4 length bits; 0x0F asks for an extra length byte (15 + 2 + 3 = 20).
        {"extra length", 4, {'x', 144, 0x0F, 2, 0}, "x" + std::string(20, 'x')},
        // Factor 2: 0x3F is the longest short length, so 255 more follow (63 + 255 + 3 = 321 bytes, 3 back);
        // then 0x41 gives its top 2 bits to the distance: (1 << 8) + 3 + 1 = 260 back.
        {"distance high bits", 2, {'q', 'S', 'r', 144, 0x3F, 255, 2, 144, 0x41, 3}, Repeat("qSr", 108) + "SrqS"},
        {"before the first byte reads zeros", 3, {144, 0x02, 9}, std::string(5, '\0')},
    };
    for (const ReduceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto packed = ReducedStream(c.stage_bytes);
        for (const std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
            TMemorySource source(packed, chunk);
            TStringSink sink;
            EXPECT_EQ(Unreduce(source, sink, c.output.size(), c.factor), TDecodeResult::drOk);
            EXPECT_EQ(sink.Bytes, c.output);
        }
    }
}

TEST(Unreduce, FollowerListsPickTheNextByte) {
    // After byte 0 (the start) the list {'k', 'm', 'n'} applies: flag 0 and a 2-bit index.
    test::LsbBitWriter writer;
    for (int byte = 255; byte > 0; --byte) writer.Put(0, 6);
    writer.Put(3, 6).Put('k', 8).Put('m', 8).Put('n', 8);
    writer.Put(0, 1).Put(2, 2);  // 'n', whose list is empty, so a plain byte follows
    writer.Put('z', 8);
    TMemorySource source(writer.Bytes());
    TStringSink sink;
    EXPECT_EQ(Unreduce(source, sink, 2, 1), TDecodeResult::drOk);
    EXPECT_EQ(sink.Bytes, "nz");
}

TEST(Unreduce, RefusesBadFactorsAndLists) {
    const auto plain = ReducedStream({'a'});
    for (const int factor : {0, 5}) {
        TMemorySource source(plain);
        TStringSink sink;
        EXPECT_EQ(Unreduce(source, sink, 1, factor), TDecodeResult::drDataError);
    }
    {
        test::LsbBitWriter writer;
        writer.Put(33, 6);  // byte 255 claims more followers than a list holds
        for (int i = 0; i < 40; ++i) writer.Put(0, 8);
        TMemorySource source(writer.Bytes());
        TStringSink sink;
        EXPECT_EQ(Unreduce(source, sink, 1, 1), TDecodeResult::drDataError);
    }
    {
        test::LsbBitWriter writer;
        for (int byte = 255; byte > 0; --byte) writer.Put(0, 6);
        writer.Put(3, 6).Put('k', 8).Put('m', 8).Put('n', 8);
        writer.Put(0, 1).Put(3, 2);  // index 3 in a list of three
        TMemorySource source(writer.Bytes());
        TStringSink sink;
        EXPECT_EQ(Unreduce(source, sink, 1, 1), TDecodeResult::drDataError);
    }
}

}  // namespace
}  // namespace kv
