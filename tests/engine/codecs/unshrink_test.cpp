#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/codecs/memory_byte_io.h"
#include "engine/codecs/unshrink.h"
#include "support/lsb_bit_writer.h"

namespace kv {
namespace {

struct ShrinkCase {
    const char* name;
    std::vector<unsigned> codes;  // 256 followed by 1 widens the codes that come after it
    TDecodeResult result;
    std::string output;
};

std::vector<std::uint8_t> PackCodes(const std::vector<unsigned>& codes) {
    test::LsbBitWriter writer;
    unsigned bits = 9;
    bool after_control = false;
    for (const unsigned code : codes) {
        writer.Put(code, bits);
        if (after_control && code == 1) ++bits;
        after_control = !after_control && code == 256;
    }
    return writer.Bytes();
}

TEST(Unshrink, HandMadeCodeSequences) {
    const ShrinkCase cases[] = {
        {"literals", {'a', 'b', 'c'}, TDecodeResult::drOk, "abc"},
        {"code being defined", {'a', 257}, TDecodeResult::drOk, "aaa"},
        {"known string", {'a', 'b', 257, 258}, TDecodeResult::drOk, "ababba"},
        {"wider codes", {'a', 256, 1, 'b', 257}, TDecodeResult::drOk, "abab"},
        // 257 ("ab") is a leaf and is freed, so 257 is the next code to define again: "b" + "b".
        {"partial clear frees leaves", {'a', 'b', 256, 2, 257}, TDecodeResult::drOk, "abbb"},
        // 257 ("ab") is the prefix of 259 ("abc") and survives; 258 ("ba") and 259 are freed, so 258 is
        // defined anew from "c".
        {"partial clear keeps prefixes", {'a', 'b', 257, 'c', 256, 2, 258, 257}, TDecodeResult::drOk, "ababcccab"},
        {"unknown command", {'a', 256, 3}, TDecodeResult::drDataError, "a"},
        {"undefined code", {'a', 300}, TDecodeResult::drDataError, "a"},
        {"undefined first code", {257}, TDecodeResult::drDataError, ""},
        {"wider than 13 bits", {'a', 256, 1, 256, 1, 256, 1, 256, 1, 256, 1}, TDecodeResult::drDataError, "a"},
        {"stream ends early", {'a', 'b'}, TDecodeResult::drTruncated, "ab"},
    };
    for (const ShrinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto packed = PackCodes(c.codes);
        for (const std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
            TMemorySource source(packed, chunk);
            TStringSink sink;
            const std::uint64_t declared = c.result == TDecodeResult::drOk ? c.output.size() : 100;
            EXPECT_EQ(Unshrink(source, sink, declared), c.result);
            if (c.result != TDecodeResult::drDataError) {
                EXPECT_EQ(sink.Bytes, c.output);
            }
        }
    }
}

TEST(Unshrink, StopsAtTheDeclaredSize) {
    const auto packed = PackCodes({'a', 'b', 257, 'z', 'z', 'z'});
    TMemorySource source(packed);
    TStringSink sink;
    EXPECT_EQ(Unshrink(source, sink, 3), TDecodeResult::drOk);
    EXPECT_EQ(sink.Bytes, "aba");
}

}  // namespace
}  // namespace kv
