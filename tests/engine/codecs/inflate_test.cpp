#include "engine/codecs/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/codecs/memory_byte_io.h"
#include "support/raw_deflate.h"
#include "support/corpus_manifest.h"
#include "support/file_digest.h"
#include "support/test_support.h"
#include "support/zip_entry_bytes.h"

namespace kv {
namespace {

constexpr std::size_t kChunkSizes[] = {1, 7, 65536};

std::span<const std::uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Keeps what it is given and the size of every write.
class TRecordingSink : public TStringSink {
public:
    using TStringSink::TStringSink;
    bool Write(const std::uint8_t* data, std::size_t size) override {
        Writes.push_back(size);
        return TStringSink::Write(data, size);
    }
    std::vector<std::size_t> Writes;
};

struct TDecoded {
    TDecodeResult result;
    std::string bytes;
};

TDecoded Decode(const std::string& packed, bool deflate64 = false, std::size_t chunk = SIZE_MAX) {
    TMemorySource source(AsBytes(packed), chunk);
    TStringSink sink;
    const TDecodeResult result = Inflate(source, sink, deflate64);
    return {result, std::move(sink.Bytes)};
}

// Text, incompressible stretches, long runs and repeats of an 8 KiB stretch from about 30 KiB back, so that
// streams get every block type and matches across most of the window.
std::string MixedData(std::size_t size, unsigned seed = 1) {
    static const char* const kWords[] = {"archive ", "entry ", "folder ", "the ", "of ", "deflate ", "window\n",
                                         "Kavrel ", "0123 ", "checksum ", "a ", "zip "};
    std::mt19937 random(seed);
    std::string data;
    while (data.size() < size) {
        std::string noise(8192, '\0');
        for (char& c : noise) c = static_cast<char>(random());
        data += noise;
        for (int i = 0; i < 3500; ++i) data += kWords[random() % std::size(kWords)];
        data.append(2000 + random() % 3000, static_cast<char>(random()));
        data += noise;
    }
    data.resize(size);
    return data;
}

// Deflate's bit order: fields least significant bit first, Huffman codes most significant bit first.
class TBitWriter {
public:
    TBitWriter& Bits(std::uint32_t value, unsigned count) {
        for (unsigned i = 0; i < count; ++i) Bit((value >> i) & 1);
        return *this;
    }
    TBitWriter& Code(std::uint32_t code, unsigned length) {
        for (unsigned i = length; i-- > 0;) Bit((code >> i) & 1);
        return *this;
    }
    TBitWriter& Align() {
        while (used_ != 0) Bit(0);
        return *this;
    }
    TBitWriter& Raw(const std::string& bytes) {
        Align();
        bytes_ += bytes;
        return *this;
    }
    // Fixed-code literal/length symbol and distance code.
    TBitWriter& Fixed(unsigned symbol) {
        if (symbol < 144) return Code(0x30 + symbol, 8);
        if (symbol < 256) return Code(0x190 + symbol - 144, 9);
        if (symbol < 280) return Code(symbol - 256, 7);
        return Code(0xC0 + symbol - 280, 8);
    }
    TBitWriter& FixedDistance(unsigned code) { return Code(code, 5); }
    // A dynamic block header whose code length code gives lengths 0-15 four bits each.
    TBitWriter& DynamicHeader(bool final, const std::vector<std::uint8_t>& litlen,
                              const std::vector<std::uint8_t>& distance) {
        Bits(final, 1).Bits(2, 2).Bits(static_cast<std::uint32_t>(litlen.size() - 257), 5);
        Bits(static_cast<std::uint32_t>(distance.size() - 1), 5).Bits(19 - 4, 4);
        for (const unsigned symbol : {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15})
            Bits(symbol < 16 ? 4 : 0, 3);
        for (const std::uint8_t length : litlen) Code(length, 4);
        for (const std::uint8_t length : distance) Code(length, 4);
        return *this;
    }
    std::string Finish() {
        Align();
        return bytes_;
    }

private:
    void Bit(unsigned bit) {
        if (used_ == 0) bytes_ += '\0';
        bytes_.back() = static_cast<char>(bytes_.back() | (bit << used_));
        used_ = (used_ + 1) % 8;
    }
    std::string bytes_;
    unsigned used_ = 0;
};

// Canonical codes of a set of code lengths, by symbol.
std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths) {
    std::uint32_t count[16] = {}, next[16] = {};
    for (const std::uint8_t length : lengths) ++count[length];
    count[0] = 0;
    for (unsigned bits = 1, code = 0; bits < 16; ++bits) next[bits] = code = (code + count[bits - 1]) << 1;
    std::vector<std::uint32_t> codes(lengths.size());
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol)
        if (lengths[symbol] != 0) codes[symbol] = next[lengths[symbol]]++;
    return codes;
}

std::vector<std::uint8_t> Lengths(std::size_t size, std::initializer_list<std::pair<unsigned, std::uint8_t>> set) {
    std::vector<std::uint8_t> lengths(size, 0);
    for (const auto& [symbol, length] : set) lengths[symbol] = length;
    return lengths;
}

TEST(Inflate, ZlibStreamsRoundTripInAnyChunking) {
    const std::string mixed = MixedData(300 * 1024);
    struct Case {
        const char* name;
        std::string data;
        int level;
        int strategy;
    };
    const Case cases[] = {
        {"empty, level 6", "", 6, Z_DEFAULT_STRATEGY},
        {"empty, stored", "", 0, Z_DEFAULT_STRATEGY},
        {"stored blocks", mixed, 0, Z_DEFAULT_STRATEGY},
        {"level 1", mixed, 1, Z_DEFAULT_STRATEGY},
        {"level 6", mixed, 6, Z_DEFAULT_STRATEGY},
        {"level 9", mixed, 9, Z_DEFAULT_STRATEGY},
        {"fixed blocks", mixed, 6, Z_FIXED},
        {"literals only", mixed, 6, Z_HUFFMAN_ONLY},
        {"runs only", mixed, 6, Z_RLE},
        {"one byte", "x", 9, Z_DEFAULT_STRATEGY},
    };
    for (const Case& c : cases) {
        const std::string packed = test::RawDeflate(c.data, c.level, c.strategy);
        for (const std::size_t chunk : kChunkSizes) {
            SCOPED_TRACE(std::string(c.name) + ", chunk " + std::to_string(chunk));
            TMemorySource source(AsBytes(packed), chunk);
            TRecordingSink sink;
            ASSERT_EQ(Inflate(source, sink, false), TDecodeResult::drOk);
            ASSERT_TRUE(sink.Bytes == c.data);
            // Blocks of at least 32 KiB, but for the last.
            for (std::size_t i = 0; i + 1 < sink.Writes.size(); ++i) EXPECT_GE(sink.Writes[i], 32u * 1024);
        }
    }
}

TEST(Inflate, LargeStreamAndTrailingBytes) {
    const std::string data = MixedData(3 * 1024 * 1024, 7);
    const std::string packed = test::RawDeflate(data, 6);
    const TDecoded decoded = Decode(packed + "trailing bytes after the final block", false, 65536);
    EXPECT_EQ(decoded.result, TDecodeResult::drOk);
    EXPECT_TRUE(decoded.bytes == data);
}

// The bytes read behind the stream's end are counted, so that concatenated streams (GZIP members) can be
// read one after another; a stored final block ends on a byte border, a Huffman one anywhere.
TEST(Inflate, TellsTheInputReadBehindTheEnd) {
    const std::string trailer = "next member";
    for (const int level : {0, 6}) {
        const std::string packed = test::RawDeflate(MixedData(200000, 3), level) + trailer;
        for (const std::size_t chunk : kChunkSizes) {
            SCOPED_TRACE(std::to_string(level) + ", chunk " + std::to_string(chunk));
            TMemorySource source(std::span(reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size()), chunk);
            TStringSink sink;
            std::size_t unread = 0;
            ASSERT_EQ(Inflate(source, sink, false, &unread), TDecodeResult::drOk);
            EXPECT_EQ(unread + source.Remaining(), trailer.size());
        }
    }
}

TEST(Inflate, HandMadeDeflate64Streams) {
    // 65539 bytes: a literal, then length code 285 with all 16 extra bits set at distance 1. Plain Deflate
    // reads the same bits as length 258 followed by distance code 31, which it does not have.
    const std::string long_length =
        TBitWriter().Bits(1, 1).Bits(1, 2).Fixed('x').Fixed(285).Bits(0xFFFF, 16).FixedDistance(0).Fixed(256).Finish();
    // Distances 49153 and 49152 (codes 31 and 30 with their 14 extra bits) back into a stored block.
    std::string history(50000, '\0');
    for (std::size_t i = 0; i < history.size(); ++i) history[i] = static_cast<char>(i * 7 % 251);
    const std::string far = TBitWriter()
                                .Bits(0, 1).Bits(0, 2).Align().Bits(50000, 16).Bits(~50000u & 0xFFFF, 16)
                                .Raw(history)
                                .Bits(1, 1).Bits(1, 2)
                                .Fixed(257).FixedDistance(31).Bits(0, 14)
                                .Fixed(258).FixedDistance(30).Bits(16383, 14)
                                .Fixed(256).Finish();
    std::string far_expected = history;
    for (const auto& [length, distance] : {std::pair{3, 49153}, std::pair{4, 49152}})
        for (int i = 0; i < length; ++i) far_expected += far_expected[far_expected.size() - distance];

    for (const std::size_t chunk : kChunkSizes) {
        SCOPED_TRACE(chunk);
        const TDecoded decoded = Decode(long_length, true, chunk);
        EXPECT_EQ(decoded.result, TDecodeResult::drOk);
        EXPECT_TRUE(decoded.bytes == std::string(65539, 'x'));
        const TDecoded far_decoded = Decode(far, true, chunk);
        EXPECT_EQ(far_decoded.result, TDecodeResult::drOk);
        EXPECT_TRUE(far_decoded.bytes == far_expected);

        EXPECT_EQ(Decode(long_length, false, chunk).result, TDecodeResult::drDataError);
        EXPECT_EQ(Decode(far, false, chunk).result, TDecodeResult::drDataError);
    }
}

TEST(Inflate, SevenZipDeflate64RoundTrip) {
    if (!test::HaveProgram("7z")) GTEST_SKIP() << "7z is not installed";
    test::TempDir dir;
    // Repeats 40 KiB back need the larger window. (7-Zip leaves length code 285 unused here: the hand-made
    // streams above cover its 16 extra bits.)
    std::string data = MixedData(400 * 1024, 3);
    data.append(200000, 'z');
    const std::string repeat = data.substr(0, 20000);
    data += MixedData(40 * 1024, 4) + repeat;
    test::WriteFile(dir / "data.bin", data);
    ASSERT_EQ(test::RunCommand("cd '" + dir.Path().string() + "' && 7z a -tzip -mm=Deflate64 -mx=9 out.zip data.bin"), 0);
    const auto entries = test::ReadZipEntries(test::ReadFile(dir / "out.zip"));
    ASSERT_TRUE(entries && entries->size() == 1);
    ASSERT_EQ(entries->front().method, 9);
    for (const std::size_t chunk : kChunkSizes) {
        SCOPED_TRACE(chunk);
        const TDecoded decoded = Decode(entries->front().packed, true, chunk);
        EXPECT_EQ(decoded.result, TDecodeResult::drOk);
        EXPECT_TRUE(decoded.bytes == data);
    }
}

// Every Deflate and Deflate64 entry of the corpus archives that two extractors agree on.
TEST(Inflate, CorpusEntriesMatchTheirChecksums) {
    const auto manifest = test::ReadCorpusManifest();
    if (manifest.empty()) GTEST_SKIP() << "corpus absent";
    int checked[2] = {0, 0};
    for (const test::CorpusFile& file : manifest) {
        if (file.format != "zip" || file.variant.find("deflate") == std::string::npos) continue;
        const auto entries = test::ReadZipEntries(test::ReadFile(test::CorpusDir() / file.path));
        if (!entries) continue;
        const auto expected = test::ReadExpectedContents(file.path);
        const bool trusted = !file.malformed() && expected && expected->trusted();
        for (const test::ZipEntryBytes& entry : *entries) {
            if ((entry.method != 8 && entry.method != 9) || (entry.flags & 1) != 0) continue;
            SCOPED_TRACE(file.path + ": " + entry.name);
            const TDecoded decoded = Decode(entry.packed, entry.method == 9, 4096);
            if (!trusted) continue;  // damaged or disputed archives only have to decode safely
            const auto member = std::find_if(expected->members.begin(), expected->members.end(),
                                             [&](const test::ExpectedMember& m) { return m.path == entry.name; });
            if (member == expected->members.end()) continue;
            EXPECT_EQ(decoded.result, TDecodeResult::drOk);
            EXPECT_EQ(static_cast<std::int64_t>(decoded.bytes.size()), member->size);
            EXPECT_EQ(test::Crc32(decoded.bytes), member->crc32);
            ++checked[entry.method == 9];
        }
    }
    EXPECT_GT(checked[0], 0);
    EXPECT_GT(checked[1], 0);
}

TEST(Inflate, CorruptStreamsAreDataErrors) {
    const unsigned a = 'a', b = 'b', c = 'c';
    const std::vector<std::uint8_t> no_distances(1, 0);
    auto dynamic = [&](const std::vector<std::uint8_t>& litlen) {
        return TBitWriter().DynamicHeader(true, litlen, no_distances).Bits(0, 32).Finish();
    };
    // A literal, then a match whose distance bit is the unused code of a one-symbol distance code.
    const std::vector<std::uint8_t> single_litlen = Lengths(258, {{a, 1}, {256, 2}, {257, 2}});
    const std::vector<std::uint8_t> single_distance = {1};
    const auto single_codes = CanonicalCodes(single_litlen);
    const std::string unused_distance_code = TBitWriter()
                                                 .DynamicHeader(true, single_litlen, single_distance)
                                                 .Code(single_codes[a], 1).Code(single_codes[257], 2).Code(1, 1)
                                                 .Bits(0, 32).Finish();
    struct Case {
        const char* name;
        std::string packed;
        bool deflate64;
    };
    const Case cases[] = {
        {"reserved block type", TBitWriter().Bits(1, 1).Bits(3, 2).Bits(0, 16).Finish(), false},
        {"stored length without its complement",
         TBitWriter().Bits(1, 1).Bits(0, 2).Align().Bits(5, 16).Bits(0, 16).Raw("hello").Finish(), false},
        {"over-subscribed code length code",
         TBitWriter().Bits(1, 1).Bits(2, 2).Bits(0, 5).Bits(0, 5).Bits(0, 4).Bits(1, 3).Bits(1, 3).Bits(1, 3)
             .Bits(1, 3).Bits(0, 32).Finish(),
         false},
        {"incomplete code length code",
         TBitWriter().Bits(1, 1).Bits(2, 2).Bits(0, 5).Bits(0, 5).Bits(0, 4).Bits(2, 3).Bits(2, 3).Bits(0, 3)
             .Bits(0, 3).Bits(0, 32).Finish(),
         false},
        {"over-subscribed literal/length code", dynamic(Lengths(257, {{a, 1}, {b, 1}, {c, 1}, {256, 1}})), false},
        {"incomplete literal/length code", dynamic(Lengths(257, {{a, 2}, {256, 2}})), false},
        {"no end-of-block code", dynamic(Lengths(257, {{a, 1}, {b, 1}})), false},
        {"too many length codes", TBitWriter().Bits(1, 1).Bits(2, 2).Bits(30, 5).Bits(0, 5).Bits(0, 4).Bits(0, 32).Finish(),
         false},
        {"too many distance codes", TBitWriter().Bits(1, 1).Bits(2, 2).Bits(0, 5).Bits(30, 5).Bits(0, 4).Bits(0, 32).Finish(),
         false},
        // Code length code: symbols 0 and 16 (or 18) one bit each.
        {"repeat with nothing before it",
         TBitWriter().Bits(1, 1).Bits(2, 2).Bits(0, 5).Bits(0, 5).Bits(0, 4).Bits(1, 3).Bits(0, 3).Bits(0, 3)
             .Bits(1, 3).Code(1, 1).Bits(0, 32).Finish(),
         false},
        {"repeat past the last length",
         TBitWriter().Bits(1, 1).Bits(2, 2).Bits(0, 5).Bits(0, 5).Bits(0, 4).Bits(0, 3).Bits(0, 3).Bits(1, 3)
             .Bits(1, 3).Code(1, 1).Bits(127, 7).Code(1, 1).Bits(127, 7).Bits(0, 32).Finish(),
         false},
        {"distance before the start of the output",
         TBitWriter().Bits(1, 1).Bits(1, 2).Fixed('a').Fixed(257).FixedDistance(1).Fixed(256).Finish(), false},
        {"distance before the start, Deflate64",
         TBitWriter().Bits(1, 1).Bits(1, 2).Fixed('a').Fixed(257).FixedDistance(1).Fixed(256).Finish(), true},
        {"distance code 30 in plain Deflate",
         TBitWriter().Bits(1, 1).Bits(1, 2).Fixed('a').Fixed(257).FixedDistance(30).Bits(0, 13).Fixed(256).Finish(),
         false},
        {"length symbol 286", TBitWriter().Bits(1, 1).Bits(1, 2).Fixed(286).Bits(0, 32).Finish(), false},
        {"unused code of a one-symbol distance code", unused_distance_code, false},
    };
    for (const Case& c : cases) {
        for (const std::size_t chunk : kChunkSizes) {
            SCOPED_TRACE(std::string(c.name) + ", chunk " + std::to_string(chunk));
            EXPECT_EQ(Decode(c.packed, c.deflate64, chunk).result, TDecodeResult::drDataError);
        }
    }
    // The well-formed neighbours of two of them decode.
    const TDecoded run = Decode(TBitWriter().Bits(1, 1).Bits(1, 2).Fixed('a').Fixed(257).FixedDistance(0).Fixed(256).Finish());
    EXPECT_EQ(run.result, TDecodeResult::drOk);
    EXPECT_EQ(run.bytes, "aaaa");
    const TDecoded single = Decode(TBitWriter()
                                       .DynamicHeader(true, single_litlen, single_distance)
                                       .Code(single_codes[a], 1).Code(single_codes[257], 2).Code(0, 1)
                                       .Code(single_codes[256], 2).Finish());
    EXPECT_EQ(single.result, TDecodeResult::drOk);
    EXPECT_EQ(single.bytes, "aaaa");
}

// Every proper prefix of a stream is truncated, never an error, a success or a crash.
TEST(Inflate, EveryPrefixIsTruncated) {
    const std::string data = MixedData(20000, 5);
    const std::pair<std::string, bool> streams[] = {
        {test::RawDeflate(data.substr(0, 3000), 6), false},
        {test::RawDeflate(data.substr(0, 3000), 6, Z_FIXED), false},
        {test::RawDeflate(data.substr(0, 1000), 0), false},
        {TBitWriter().Bits(1, 1).Bits(1, 2).Fixed('x').Fixed(285).Bits(0xFFFF, 16).FixedDistance(0).Fixed(256).Finish(),
         true},
    };
    for (const auto& [packed, deflate64] : streams) {
        for (std::size_t size = 0; size < packed.size(); ++size) {
            for (const std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
                SCOPED_TRACE("prefix " + std::to_string(size) + " of " + std::to_string(packed.size()));
                ASSERT_EQ(Decode(packed.substr(0, size), deflate64, chunk).result, TDecodeResult::drTruncated);
            }
        }
    }
    // A long stream cut in its middle ends in the careful path after the fast one.
    const std::string large = test::RawDeflate(MixedData(1024 * 1024, 6), 6);
    for (const std::size_t size : {large.size() / 2, large.size() - 1})
        EXPECT_EQ(Decode(large.substr(0, size), false, 7).result, TDecodeResult::drTruncated);
}

TEST(Inflate, StopsWhenTheSinkRefuses) {
    const std::string data = MixedData(1024 * 1024, 8);
    for (const int level : {0, 6}) {
        const std::string packed = test::RawDeflate(data, level);
        for (const std::size_t limit : {std::size_t{0}, std::size_t{100000}, data.size() - 1}) {
            SCOPED_TRACE("level " + std::to_string(level) + ", limit " + std::to_string(limit));
            TMemorySource source(AsBytes(packed), 4096);
            TStringSink sink(limit);
            EXPECT_EQ(Inflate(source, sink, false), TDecodeResult::drStopped);
            EXPECT_TRUE(data.starts_with(sink.Bytes));
        }
    }
}

}  // namespace
}  // namespace kv
