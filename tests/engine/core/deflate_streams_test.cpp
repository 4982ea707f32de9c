#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/core/crc.h"
#include "engine/core/data_cipher.h"
#include "engine/core/deflate_streams.h"
#include "engine/core/memory_stream.h"
#include "engine/core/zip_cipher.h"
#include "support/lsb_bit_writer.h"

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Text-like data that compresses, with some noise so that the deflate stream spans many blocks.
Bytes TextWithNoise(std::size_t size) {
    std::mt19937 random(42);
    const char* words[] = {"archive ", "stream ", "deflate ", "kavrel ", "\n", "entry ", "0123 "};
    Bytes data;
    while (data.size() < size) {
        if (random() % 16 == 0) {
            data.push_back(static_cast<std::uint8_t>(random()));
        } else {
            const std::string word = words[random() % 7];
            data.insert(data.end(), word.begin(), word.end());
        }
    }
    data.resize(size);
    return data;
}

Bytes Deflate(const Bytes& data, int level = Z_DEFAULT_COMPRESSION, TEncryptionMethod method = emNone) {
    TMemoryStream32 out;
    {
        TCompressStream compress(out, level, kRawDeflateWindowBits, method);
        EXPECT_EQ(compress.Write(data.data(), static_cast<std::int64_t>(data.size())),
                  static_cast<std::int64_t>(data.size()));
        EXPECT_TRUE(compress.Finish());
        EXPECT_EQ(compress.TotalOut(), out.Size());
    }
    return Bytes(out.Memory(), out.Memory() + out.Size());
}

// Inflates everything the stream gives in reads of read_size bytes.
Bytes InflateAll(TDecompressStream& stream, std::int64_t read_size) {
    Bytes out;
    Bytes buffer(static_cast<std::size_t>(read_size));
    for (int guard = 0; guard < 10'000'000; ++guard) {
        const std::int64_t got = stream.Read(buffer.data(), read_size);
        if (got == 0) break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return out;
}

struct ChunkCase {
    std::int64_t chunk_size;
    std::int64_t read_size;
};

void PrintTo(const ChunkCase& c, std::ostream* os) { *os << "chunk " << c.chunk_size << ", reads " << c.read_size; }

class DeflateRoundTrip : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(DeflateRoundTrip, InflatesAndLeavesTheSourceRightAfterTheData) {
    const Bytes data = TextWithNoise(300'000);
    const Bytes packed = Deflate(data);
    const std::string trailer = "TRAILER-BYTES";
    Bytes archive = {'H', 'E', 'A', 'D'};
    archive.insert(archive.end(), packed.begin(), packed.end());
    archive.insert(archive.end(), trailer.begin(), trailer.end());

    TCustomMemoryStream32 source(archive.data(), static_cast<std::int64_t>(archive.size()));
    source.SetPosition(4);
    std::int64_t last_progress = -1;
    int progress_calls = 0;
    source.OnProgress = [&](std::int64_t position) {
        EXPECT_GT(position, last_progress);
        last_progress = position;
        ++progress_calls;
    };
    {
        TDecompressStream inflate(source, GetParam().chunk_size);
        EXPECT_EQ(InflateAll(inflate, GetParam().read_size), data);
        EXPECT_EQ(inflate.State(), TInflateState::isFinished);
        EXPECT_EQ(inflate.TotalIn(), static_cast<std::int64_t>(packed.size()));
        EXPECT_EQ(inflate.TotalOut(), static_cast<std::int64_t>(data.size()));
        EXPECT_EQ(inflate.Read(archive.data(), 1), 0);  // nothing after the end
    }
    EXPECT_EQ(source.Position(), static_cast<std::int64_t>(4 + packed.size()));
    EXPECT_GT(progress_calls, 0);
    char rest[32] = {};
    EXPECT_EQ(source.Read(rest, sizeof rest), static_cast<std::int64_t>(trailer.size()));
    EXPECT_EQ(std::string(rest, trailer.size()), trailer);
}

INSTANTIATE_TEST_SUITE_P(ChunkSizes, DeflateRoundTrip,
                         ::testing::Values(ChunkCase{1, 65536}, ChunkCase{7, 1}, ChunkCase{4096, 999},
                                           ChunkCase{32768, 32768}, ChunkCase{65536, 1 << 20},
                                           ChunkCase{1 << 20, 65536}),
                         [](const ::testing::TestParamInfo<ChunkCase>& info) {
                             return "Chunk" + std::to_string(info.param.chunk_size) + "Read" +
                                    std::to_string(info.param.read_size);
                         });

TEST(DeflateStreams, EmptyInputAndAllLevelsRoundTrip) {
    for (int level : {0, 1, 6, 9}) {
        for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{70'000}}) {
            const Bytes data = TextWithNoise(size);
            const Bytes packed = Deflate(data, level);
            TCustomMemoryStream32 source(packed.data(), static_cast<std::int64_t>(packed.size()));
            TDecompressStream inflate(source, 65536);
            EXPECT_EQ(InflateAll(inflate, 65536), data) << "level " << level << " size " << size;
            EXPECT_EQ(inflate.State(), TInflateState::isFinished);
        }
    }
}

TEST(DeflateStreams, CorruptDataEndsWithAnErrorState) {
    const Bytes data = TextWithNoise(100'000);
    const Bytes packed = Deflate(data);

    // A block of the reserved type 3 is invalid at once.
    const Bytes garbage(1000, 0xFF);
    TCustomMemoryStream32 garbage_source(garbage.data(), static_cast<std::int64_t>(garbage.size()));
    TDecompressStream bad(garbage_source, 65536);
    Bytes out(65536);
    EXPECT_EQ(bad.Read(out.data(), 65536), 0);
    EXPECT_EQ(bad.State(), TInflateState::isCorrupt);
    EXPECT_TRUE(bad.Failed());
    EXPECT_FALSE(bad.ErrorText().empty());

    // Damage anywhere must end in a state, never a crash or a loop.
    for (std::size_t at = 0; at < packed.size(); at += 97) {
        Bytes damaged = packed;
        damaged[at] ^= 0x5A;
        TCustomMemoryStream32 source(damaged.data(), static_cast<std::int64_t>(damaged.size()));
        TDecompressStream inflate(source, 4096);
        const Bytes got = InflateAll(inflate, 65536);
        ASSERT_NE(inflate.State(), TInflateState::isRunning) << at;
        if (inflate.State() == TInflateState::isFinished) {
            EXPECT_NE(got, data) << at;
        }
    }
}

TEST(DeflateStreams, MissingEndIsTruncatedAlsoAtTheInputLimit) {
    const Bytes data = TextWithNoise(100'000);
    Bytes packed = Deflate(data);
    const auto packed_size = static_cast<std::int64_t>(packed.size());
    packed.push_back(0);  // the next entry's first byte

    TCustomMemoryStream32 cut(packed.data(), packed_size / 2);
    TDecompressStream from_cut(cut, 4096);
    InflateAll(from_cut, 65536);
    EXPECT_EQ(from_cut.State(), TInflateState::isTruncated);
    EXPECT_TRUE(from_cut.Failed());

    // The limit keeps the stream from reading into the next entry.
    TCustomMemoryStream32 whole(packed.data(), packed_size + 1);
    {
        TDecompressStream limited(whole, 65536, emNone, kRawDeflateWindowBits, packed_size - 1);
        InflateAll(limited, 65536);
        EXPECT_EQ(limited.State(), TInflateState::isTruncated);
    }
    EXPECT_EQ(whole.Position(), packed_size - 1);

    whole.SetPosition(0);
    {
        TDecompressStream exact(whole, 65536, emNone, kRawDeflateWindowBits, packed_size);
        EXPECT_EQ(InflateAll(exact, 65536), data);
        EXPECT_EQ(exact.State(), TInflateState::isFinished);
    }
    EXPECT_EQ(whole.Position(), packed_size);
}

// A fixed-Huffman block: one literal, then `matches` copies of 258 bytes at distance 1, then the end code.
Bytes RunOfMatches(int matches) {
    test::LsbBitWriter bits;
    const auto code = [&](std::uint32_t value, unsigned length) {  // Huffman codes go most significant bit first
        for (unsigned i = length; i-- > 0;) bits.Put((value >> i) & 1u, 1);
    };
    bits.Put(1, 1).Put(1, 2);  // last block, fixed codes
    code(0x30 + 'a', 8);
    for (int i = 0; i < matches; ++i) {
        code(0xC0 + (285 - 280), 8);  // length 258
        code(0, 5);                   // distance 1
    }
    code(0, 7);  // end of block
    return bits.Bytes();
}

// The last input byte holds the last match and the end code: the match's output is still due when no
// input is left, which must not pass for a truncated stream.
TEST(DeflateStreams, OutputPendingAfterTheLastInputIsDelivered) {
    const int matches = 4062;  // 11 + 13 * matches bits end one bit into the last byte
    const Bytes packed = RunOfMatches(matches);
    const Bytes data(1 + 258 * static_cast<std::size_t>(matches), 'a');
    for (const std::int64_t read_size : {1, 100, 32768}) {
        TCustomMemoryStream32 source(packed.data(), static_cast<std::int64_t>(packed.size()));
        TDecompressStream inflate(source, 65536, emNone, kRawDeflateWindowBits, static_cast<std::int64_t>(packed.size()));
        const Bytes got = InflateAll(inflate, read_size);
        EXPECT_EQ(got.size(), data.size()) << "reads of " << read_size;
        EXPECT_TRUE(got == data) << "reads of " << read_size;
        EXPECT_EQ(inflate.State(), TInflateState::isFinished) << "reads of " << read_size;
    }
}

TEST(DeflateStreams, RestartServesTheNextStreamAfterAnEndedOrFailedOne) {
    // Three streams back to back as a ZIP holds entries, with headers between them: a good one, a damaged
    // one cut short by its input limit, and another good one.
    const Bytes first = TextWithNoise(70'000);
    const Bytes third = TextWithNoise(5'000);
    Bytes damaged = Deflate(TextWithNoise(40'000));
    damaged[damaged.size() / 2] ^= 0x5A;
    const Bytes header(30, 'H');
    Bytes archive = header;
    const auto append = [&](const Bytes& part) {
        const auto at = static_cast<std::int64_t>(archive.size());
        archive.insert(archive.end(), part.begin(), part.end());
        archive.insert(archive.end(), header.begin(), header.end());
        return std::pair<std::int64_t, std::int64_t>{at, static_cast<std::int64_t>(part.size())};
    };
    const auto [first_at, first_size] = append(Deflate(first));
    const auto [damaged_at, damaged_size] = append(damaged);
    const auto [third_at, third_size] = append(Deflate(third));
    TCustomMemoryStream32 source(archive.data(), static_cast<std::int64_t>(archive.size()));

    source.SetPosition(first_at);
    TDecompressStream inflate(source, 4096, emNone, kRawDeflateWindowBits, first_size);
    EXPECT_EQ(InflateAll(inflate, 65536), first);
    EXPECT_EQ(inflate.State(), TInflateState::isFinished);

    source.SetPosition(damaged_at);
    inflate.Restart(emNone, damaged_size);
    InflateAll(inflate, 65536);
    EXPECT_TRUE(inflate.Failed());

    source.SetPosition(third_at);
    inflate.Restart(emNone, third_size);
    EXPECT_EQ(inflate.State(), TInflateState::isRunning);
    EXPECT_EQ(InflateAll(inflate, 1000), third);
    EXPECT_EQ(inflate.State(), TInflateState::isFinished);
    EXPECT_EQ(inflate.TotalOut(), static_cast<std::int64_t>(third.size()));
    EXPECT_EQ(inflate.TotalIn(), third_size);
}

TEST(DeflateStreams, EncipheredDataIsDecipheredWhileInflating) {
    const Bytes data = TextWithNoise(150'000);
    const std::uint32_t crc = Crc32Of(data.data(), data.size());
    Bytes packed = Deflate(data);

    // Build the entry as a writer does: the 12-byte header, then the enciphered deflate data.
    const TCipherHeader header = MakeCipherHeader("secret", crc);
    CipherKeys(TSeedKind::skData).Encipher(packed.data(), packed.size());
    Bytes entry(header.begin(), header.end());
    entry.insert(entry.end(), packed.begin(), packed.end());
    entry.push_back(0x50);

    for (std::int64_t chunk : {std::int64_t{5}, std::int64_t{32768}}) {
        TCustomMemoryStream32 source(entry.data(), static_cast<std::int64_t>(entry.size()));
        TCipherHeader read_header{};
        ASSERT_EQ(source.Read(read_header.data(), kCipherHeaderSize), static_cast<std::int64_t>(kCipherHeaderSize));
        ASSERT_TRUE(CheckCipherHeader(read_header, 0, crc, "secret", 0));
        {
            TDecompressStream inflate(source, chunk, emZip_V2);
            EXPECT_EQ(InflateAll(inflate, 65536), data) << chunk;
            EXPECT_EQ(inflate.State(), TInflateState::isFinished);
        }
        EXPECT_EQ(source.Position(), static_cast<std::int64_t>(entry.size() - 1));
    }

    // With a wrong password the data keys are wrong: inflating stops cleanly, or (now and then, since the
    // enciphered bytes differ from run to run) ends a stream of garbage that is not the data.
    TCustomMemoryStream32 source(entry.data(), static_cast<std::int64_t>(entry.size()));
    source.SetPosition(kCipherHeaderSize);
    InitPasswordKeys("wrong");
    TDecompressStream inflate(source, 32768, emZip_V2);
    const Bytes garbage = InflateAll(inflate, 65536);
    EXPECT_TRUE(inflate.Failed() || garbage != data);
}

TEST(DeflateStreams, CompressStreamEnciphersItsOutput) {
    const Bytes data = TextWithNoise(200'000);
    const Bytes plain = Deflate(data, 9);

    InitPasswordKeys("pw");
    const Bytes enciphered = Deflate(data, 9, emZip_V2);
    ASSERT_EQ(enciphered.size(), plain.size());
    EXPECT_NE(enciphered, plain);

    InitPasswordKeys("pw");
    Bytes deciphered = enciphered;
    DecipherData(emZip_V2, deciphered.data(), deciphered.size());
    EXPECT_EQ(deciphered, plain);
}

TEST(DeflateStreams, CompressReportsAFailingTarget) {
    TMemoryStream32 small;
    small.SetSizeLimit(1000);
    const Bytes data = TextWithNoise(1'000'000);
    TCompressStream compress(small, 0);
    EXPECT_LT(compress.Write(data.data(), static_cast<std::int64_t>(data.size())),
              static_cast<std::int64_t>(data.size()));
    EXPECT_TRUE(compress.Failed());
    EXPECT_FALSE(compress.Finish());
    EXPECT_EQ(compress.Write(data.data(), 10), 0);
}

}  // namespace
}  // namespace kv
