// The older LZH-family methods on streams of their own archivers (from the corpus: -lh1- of LHarc, -lz5-
// and -lzs- of LArc), whole and cut short, in any chunking; and a hand-made -lzs- stream that reads the
// ring before its first byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/codecs/larc_lzss.h"
#include "engine/codecs/lzh_dynamic.h"
#include "engine/codecs/memory_byte_io.h"
#include "engine/core/crc.h"
#include "support/lha_builder.h"
#include "support/msb_bit_writer.h"
#include "support/test_support.h"

namespace kv {
namespace {

using Decoder = TDecodeResult (*)(TByteSource&, TByteSink&, std::uint64_t);

TEST(LzhFamily, StreamsOfTheOldArchivers) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    struct Case {
        const char* archive;  // level 0, the entry first
        Decoder decode;
    };
    const Case cases[] = {
        {"lhasa/archives/lharc113/lh1.lzh", UnLzhDynamic},
        {"lhasa/archives/larc333/lz5.lzs", UnLarcLz5},
        {"lhasa/archives/larc333/initial.lzs", UnLarcLz5},  // matches into the ring's starting pattern
        {"lhasa/archives/generated/lzs/lzs.lzs", UnLarcLzs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        const std::string archive = test::ReadFile(test::CorpusDir() / c.archive);
        const std::size_t header = static_cast<std::uint8_t>(archive.at(0)) + 2u;
        const std::size_t name_end = 22 + static_cast<std::uint8_t>(archive.at(21));
        const std::vector<std::uint8_t> packed(archive.begin() + static_cast<std::ptrdiff_t>(header),
                                               archive.begin() + static_cast<std::ptrdiff_t>(header + test::LittleField(archive, 7, 4)));
        const std::uint32_t size = test::LittleField(archive, 11, 4);
        const std::uint16_t crc = static_cast<std::uint16_t>(test::LittleField(archive, name_end, 2));
        for (const std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
            TMemorySource source(packed, chunk);
            TStringSink sink;
            ASSERT_EQ(c.decode(source, sink, size), TDecodeResult::drOk);
            EXPECT_EQ(sink.Bytes.size(), size);
            EXPECT_EQ(UpdateCrc16(0, sink.Bytes.data(), sink.Bytes.size()), crc);
        }
        TMemorySource cut(std::span<const std::uint8_t>(packed).first(packed.size() / 2));
        TStringSink sink;
        EXPECT_EQ(c.decode(cut, sink, size), TDecodeResult::drTruncated);
        TMemorySource whole(packed);
        TStringSink refusing(100);
        EXPECT_EQ(c.decode(whole, refusing, size), TDecodeResult::drStopped);
    }
}

// -lzs-: a flag bit ahead of each item; a match gives an 11-bit place in the 2 KiB ring and a 4-bit length
// (+2). Output starts 17 places before the ring's end, and the ring starts as spaces.
TEST(LzhFamily, LzsMatchesNameRingPlaces) {
    test::MsbBitWriter stream;
    stream.Put(1, 1).Put('a', 8).Put(1, 1).Put('b', 8);
    stream.Put(0, 1).Put(2048 - 17, 11).Put(2, 4);  // "ab" and the next two bytes it writes: "abab"
    stream.Put(0, 1).Put(0, 11).Put(1, 4);          // 3 bytes from the ring's start, still spaces
    for (const std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
        TMemorySource source(stream.Bytes(), chunk);
        TStringSink sink;
        EXPECT_EQ(UnLarcLzs(source, sink, 9), TDecodeResult::drOk);
        EXPECT_EQ(sink.Bytes, "ababab   ");
    }
}

}  // namespace
}  // namespace kv
