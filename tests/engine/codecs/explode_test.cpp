#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/codecs/explode.h"
#include "engine/codecs/memory_byte_io.h"
#include "support/lsb_bit_writer.h"

namespace kv {
namespace {

// Hand-made imploded streams use flat trees: every symbol has the same length, so under the implode
// code assignment symbol s of n gets code n - 1 - s, sent most significant bit first.
class ImplodedStream {
public:
    // A tree description giving all `symbols` the length `length`, in runs of 16.
    ImplodedStream& FlatTree(unsigned symbols, unsigned length) {
        writer_.Put(symbols / 16 - 1, 8);
        for (unsigned i = 0; i < symbols / 16; ++i) writer_.Put(0xF0 | (length - 1), 8);
        return *this;
    }
    ImplodedStream& Code(unsigned symbol, unsigned symbols, unsigned length) {
        const unsigned code = symbols - 1 - symbol;
        for (unsigned bit = length; bit-- > 0;) writer_.Put((code >> bit) & 1, 1);
        return *this;
    }
    ImplodedStream& Bits(std::uint32_t value, unsigned count) {
        writer_.Put(value, count);
        return *this;
    }
    const std::vector<std::uint8_t>& Bytes() const { return writer_.Bytes(); }

private:
    test::LsbBitWriter writer_;
};

// The two variants the corpus lacks. With 8 KiB and no literal tree, literals are plain bytes, distances
// keep 7 low bits and the shortest match is 2.
TEST(Explode, EightKilobyteWindowWithoutLiteralTree) {
    ImplodedStream stream;
    stream.FlatTree(64, 6).FlatTree(64, 6);
    stream.Bits(1, 1).Bits('q', 8).Bits(1, 1).Bits('S', 8).Bits(1, 1).Bits('r', 8);
    // 3 back, length symbol 63 plus 200 more: 63 + 200 + 2 = 265 bytes.
    stream.Bits(0, 1).Bits(2, 7).Code(0, 64, 6).Code(63, 64, 6).Bits(200, 8);
    // 200 back (199 = 1 << 7 | 71), 2 bytes.
    stream.Bits(0, 1).Bits(71, 7).Code(1, 64, 6).Code(0, 64, 6);
    std::string expected;
    for (int i = 0; i < 268; ++i) expected += "qSr"[i % 3];
    expected += expected.substr(68, 2);
    for (const std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
        TMemorySource source(stream.Bytes(), chunk);
        TStringSink sink;
        EXPECT_EQ(Explode(source, sink, expected.size(), true, false), TDecodeResult::drOk);
        EXPECT_EQ(sink.Bytes, expected);
    }
}

// With 4 KiB and a literal tree, literals are coded, distances keep 6 low bits and the shortest match is 3.
TEST(Explode, FourKilobyteWindowWithLiteralTree) {
    ImplodedStream stream;
    stream.FlatTree(256, 8).FlatTree(64, 6).FlatTree(64, 6);
    stream.Bits(1, 1).Code('x', 256, 8).Bits(1, 1).Code('y', 256, 8);
    stream.Bits(0, 1).Bits(1, 6).Code(0, 64, 6).Code(1, 64, 6);     // 2 back, 4 bytes
    stream.Bits(0, 1).Bits(63, 6).Code(1, 64, 6).Code(0, 64, 6);    // 128 back (before the start), 3 bytes
    const std::string expected = std::string("xyxyxy") + std::string(3, '\0');
    for (const std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
        TMemorySource source(stream.Bytes(), chunk);
        TStringSink sink;
        EXPECT_EQ(Explode(source, sink, expected.size(), false, true), TDecodeResult::drOk);
        EXPECT_EQ(sink.Bytes, expected);
    }
}

// A tree description must give every symbol exactly one length, and the lengths must fit a code.
TEST(Explode, RefusesBrokenTreeDescriptions) {
    struct TreeCase {
        const char* name;
        std::vector<std::uint8_t> description;
    };
    const TreeCase cases[] = {
        {"too few symbols", {2, 0xF5, 0xF5, 0xF5}},
        {"too many symbols", {4, 0xF5, 0xF5, 0xF5, 0xF5, 0x05}},
        {"lengths overfill the code", {3, 0xF4, 0xF4, 0xF4, 0xF4}},
        {"all symbols one bit long", {3, 0xF0, 0xF0, 0xF0, 0xF0}},
    };
    for (const TreeCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> packed = c.description;
        packed.insert(packed.end(), {3, 0xF5, 0xF5, 0xF5, 0xF5, 0xFF, 0xFF});
        TMemorySource source(packed);
        TStringSink sink;
        EXPECT_EQ(Explode(source, sink, 10, false, false), TDecodeResult::drDataError);
    }
}

}  // namespace
}  // namespace kv
