#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/codecs/lzh_static.h"
#include "engine/codecs/memory_byte_io.h"
#include "support/archiver.h"
#include "support/msb_bit_writer.h"
#include "support/sample_data.h"
#include "support/test_support.h"

namespace kv {
namespace {

std::uint32_t Little(const std::string& bytes, std::size_t offset, unsigned size) {
    std::uint32_t value = 0;
    for (unsigned i = size; i-- > 0;) value = value << 8 | static_cast<std::uint8_t>(bytes.at(offset + i));
    return value;
}

// The packed data of the first entry of an LHA archive: where the data start depends on the header
// level, and level 1 counts its extended headers in the packed size.
std::vector<std::uint8_t> FirstEntryData(const std::string& archive) {
    const unsigned level = static_cast<std::uint8_t>(archive.at(20));
    std::size_t start = level == 2 ? Little(archive, 0, 2) : static_cast<std::uint8_t>(archive.at(0)) + 2u;
    std::size_t packed = Little(archive, 7, 4);
    if (level == 1) {
        for (std::size_t next = Little(archive, start - 2, 2); next != 0; next = Little(archive, start - 2, 2)) {
            start += next;
            packed -= next;
        }
    }
    return {archive.begin() + static_cast<std::ptrdiff_t>(start), archive.begin() + static_cast<std::ptrdiff_t>(start + packed)};
}

TLzhStaticParams LhaParams(char method) {
    switch (method) {
        case '4': return {12, 4};
        case '5': return {13, 4};
        case '6': return {15, 5};
        default: return {16, 5};
    }
}

// Text, numbers, incompressible bytes and a long run, so that blocks differ, matches reach across the
// whole window and the output passes its internal block boundaries several times.
std::string MixedPayload() {
    return test::TextBytes(150000) + test::NumberedLines(20000) + test::RandomBytes(70000) + std::string(90000, '\0') +
           test::NumberedLines(5000);
}

class LzhStaticTest : public testing::Test {
protected:
    test::TempDir dir_;
};

// jlha's streams of every window size and header level decode whole, however the input is chunked.
TEST_F(LzhStaticTest, DecodesStreamsOfTheLhaTool) {
    const std::string payload = MixedPayload();
    test::WriteFile(dir_ / "payload", payload);
    for (const char method : {'5', '6', '7'}) {
        for (const char level : {'0', '1', '2'}) {
            SCOPED_TRACE(std::string("-lh") + method + "- level " + level);
            const std::string name = std::string("a") + method + level + ".lzh";
            if (!test::RunArchiver("jlha", dir_.Path(), std::string("jlha a") + level + "o" + method + "q " + name + " payload"))
                GTEST_SKIP() << "jlha (jlha-utils) not installed";
            const std::string archive = test::ReadFile(dir_ / name);
            ASSERT_EQ(archive.substr(2, 5), std::string("-lh") + method + "-");
            ASSERT_EQ(archive.at(20), level - '0');
            const std::vector<std::uint8_t> packed = FirstEntryData(archive);
            for (const std::size_t chunk : {std::size_t{1}, std::size_t{4093}, SIZE_MAX}) {
                TMemorySource source(packed, chunk);
                TStringSink sink;
                ASSERT_EQ(UnLzhStatic(source, sink, payload.size(), LhaParams(method)), TDecodeResult::drOk) << chunk;
                ASSERT_TRUE(sink.Bytes == payload) << chunk;
            }
        }
    }
}

// A stream cut short reports the cut, not garbage made of the missing bits; a sink that refuses stops it.
TEST_F(LzhStaticTest, CutStreamsAndRefusingSinks) {
    const std::string payload = MixedPayload();
    test::WriteFile(dir_ / "payload", payload);
    if (!test::RunArchiver("jlha", dir_.Path(), "jlha a2o7q a.lzh payload")) GTEST_SKIP() << "jlha (jlha-utils) not installed";
    const std::vector<std::uint8_t> packed = FirstEntryData(test::ReadFile(dir_ / "a.lzh"));
    for (const std::size_t keep : {std::size_t{0}, std::size_t{1}, std::size_t{40}, packed.size() / 2, packed.size() - 1}) {
        SCOPED_TRACE(keep);
        TMemorySource source(std::span<const std::uint8_t>(packed).first(keep));
        TStringSink sink;
        EXPECT_EQ(UnLzhStatic(source, sink, payload.size(), {16, 5}), TDecodeResult::drTruncated);
        EXPECT_LT(sink.Bytes.size(), payload.size());
    }
    TMemorySource source(packed);
    TStringSink sink(1000);
    EXPECT_EQ(UnLzhStatic(source, sink, payload.size(), {16, 5}), TDecodeResult::drStopped);
}

// Hand-made blocks: a block's symbol count, then its three codes, each of which may be a single symbol
// sent without bits (a count of 0 followed by the symbol).
class BlockWriter {
public:
    explicit BlockWriter(unsigned position_bits = 5) : position_bits_(position_bits) {}
    BlockWriter& Symbols(unsigned count) { return Bits(count, 16); }
    BlockWriter& SingleLengthCode(unsigned symbol) { return Bits(0, 5).Bits(symbol, 5); }
    BlockWriter& SingleLiteralLength(unsigned symbol) { return Bits(0, 9).Bits(symbol, 9); }
    BlockWriter& SinglePosition(unsigned slot) { return Bits(0, position_bits_).Bits(slot, position_bits_); }
    BlockWriter& Bits(std::uint32_t value, unsigned count) {
        writer_.Put(value, count);
        return *this;
    }
    const std::vector<std::uint8_t>& Bytes() const { return writer_.Bytes(); }

private:
    unsigned position_bits_;
    test::MsbBitWriter writer_;
};

TEST(LzhStatic, DistancesBeforeTheStartReadZerosAndMatchesStopAtTheSize) {
    BlockWriter stream;
    stream.Symbols(1).SingleLengthCode(0).SingleLiteralLength('A').SinglePosition(0);
    // Length 5 (symbol 258) from slot 4 with extra bits 7: distance 8 + 7 + 1 = 16, before the first byte.
    stream.Symbols(2).SingleLengthCode(0).SingleLiteralLength(258).SinglePosition(4).Bits(7, 3).Bits(7, 3);
    for (const std::size_t size : {std::size_t{11}, std::size_t{4}}) {
        TMemorySource source(stream.Bytes(), 1);
        TStringSink sink;
        EXPECT_EQ(UnLzhStatic(source, sink, size, {16, 5}), TDecodeResult::drOk);
        EXPECT_EQ(sink.Bytes, (std::string("A") + std::string(10, '\0')).substr(0, size));
    }
}

// Code-length sets that build no code, counts beyond the symbols, runs past the count, symbols out of range.
TEST(LzhStatic, RefusesBrokenCodes) {
    struct Case {
        const char* name;
        BlockWriter stream;
        TLzhStaticParams params;
    };
    const auto start = [](unsigned position_bits = 5) { return BlockWriter(position_bits).Symbols(1); };
    std::vector<Case> cases = {
        {"over-subscribed length code", start().Bits(3, 5).Bits(1, 3).Bits(1, 3).Bits(1, 3).Bits(0, 2), {16, 5}},
        {"incomplete length code", start().Bits(3, 5).Bits(1, 3).Bits(2, 3).Bits(0, 3).Bits(0, 2), {16, 5}},
        {"no length code at all", start().Bits(3, 5).Bits(0, 3).Bits(0, 3).Bits(0, 3).Bits(0, 2), {16, 5}},
        {"length code count beyond its symbols", start().Bits(20, 5), {16, 5}},
        {"code length above 16 bits", start().Bits(1, 5).Bits(7, 3).Bits(0x3FF, 10), {16, 5}},
        {"single length symbol out of range", start().Bits(0, 5).Bits(19, 5), {16, 5}},
        {"literal/length count beyond its symbols", start().SingleLengthCode(5).Bits(511, 9), {16, 5}},
        {"single literal/length out of range", start().SingleLengthCode(5).SingleLiteralLength(510), {16, 5}},
        // Symbol 2 is a run of 20 + n unused lengths: 20 + 9 is more than the count of 10.
        {"literal/length run past the count", start().SingleLengthCode(2).Bits(10, 9).Bits(9, 9), {16, 5}},
        // Ten lengths of 3 (symbol 5) over-subscribe a 3-bit code.
        {"over-subscribed literal/length code", start().SingleLengthCode(5).Bits(10, 9), {16, 5}},
        {"position count beyond the window's", start(4).SingleLengthCode(0).SingleLiteralLength(300).Bits(15, 4), {13, 4}},
        {"single position slot beyond the window", start(4).SingleLengthCode(0).SingleLiteralLength(300).Bits(0, 4).Bits(14, 4),
         {13, 4}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> bytes = c.stream.Bytes();
        bytes.resize(bytes.size() + 64, 0x55);  // enough bits that the fault is not a cut
        TMemorySource source(bytes);
        TStringSink sink;
        EXPECT_EQ(UnLzhStatic(source, sink, 100, c.params), TDecodeResult::drDataError);
    }
}

}  // namespace
}  // namespace kv
