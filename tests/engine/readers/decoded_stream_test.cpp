// The decoded stream between a decoder on its worker thread and a reader that goes through it once:
// forward seeks pass over data, back seeks reach only what is kept, the decoder's verdict comes at the end,
// and a reader that stops early does not leave the decoder hanging.
#include "engine/readers/decoded_stream.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv {
namespace {

constexpr std::int64_t kTotal = 10 * 1024 * 1024;

std::uint8_t ByteAt(std::int64_t offset) { return static_cast<std::uint8_t>(offset * 7 + offset / 251); }

// Writes kTotal patterned bytes in uneven pieces; `whole` is what the decoder says at the end.
std::function<bool(TByteSink&)> Pattern(bool whole) {
    return [whole](TByteSink& sink) {
        std::vector<std::uint8_t> piece(70001);
        for (std::int64_t at = 0; at < kTotal;) {
            const auto size = static_cast<std::size_t>(std::min<std::int64_t>(piece.size(), kTotal - at));
            for (std::size_t i = 0; i < size; ++i) piece[i] = ByteAt(at + static_cast<std::int64_t>(i));
            if (!sink.Write(piece.data(), size)) return false;
            at += static_cast<std::int64_t>(size);
        }
        return whole;
    };
}

bool ReadsPatternAt(TDecodedStream& stream, std::int64_t offset, std::int64_t count) {
    std::vector<std::uint8_t> got(static_cast<std::size_t>(count));
    if (stream.Seek(offset, TSeekOrigin::soBeginning) != offset || stream.Read(got.data(), count) != count)
        return false;
    for (std::int64_t i = 0; i < count; ++i)
        if (got[static_cast<std::size_t>(i)] != ByteAt(offset + i)) return false;
    return true;
}

TEST(DecodedStream, SeeksForwardAndBackOverWhatIsKept) {
    TDecodedStream stream(Pattern(true));
    EXPECT_TRUE(ReadsPatternAt(stream, 0, 1000));
    EXPECT_TRUE(ReadsPatternAt(stream, 6 * 1024 * 1024 + 3, 300000));  // passes over 6 MiB
    EXPECT_TRUE(ReadsPatternAt(stream, 5 * 1024 * 1024, 5000));        // back within what is kept
    EXPECT_EQ(stream.Seek(0, TSeekOrigin::soBeginning), -1);           // forgotten
    // Past the end the position stays at the end, which the size now tells.
    EXPECT_EQ(stream.Seek(kTotal + 100, TSeekOrigin::soBeginning), kTotal);
    EXPECT_EQ(stream.Size(), kTotal);
    std::uint8_t byte = 0;
    EXPECT_EQ(stream.Read(&byte, 1), 0);
    EXPECT_TRUE(stream.Drain());
}

TEST(DecodedStream, TheDecodersVerdictComesAtTheEnd) {
    TDecodedStream failing(Pattern(false));
    EXPECT_TRUE(ReadsPatternAt(failing, 0, 4096));
    EXPECT_FALSE(failing.Drain());
    // What a failing decoder gave before it failed can be read, less than a block as it is.
    TDecodedStream cut([](TByteSink& sink) {
        const std::vector<std::uint8_t> bytes(1000, 'c');
        sink.Write(bytes.data(), bytes.size());
        return false;
    });
    std::vector<std::uint8_t> got(2000);
    EXPECT_EQ(cut.Read(got.data(), 2000), 1000);
    EXPECT_FALSE(cut.Drain());
}

TEST(DecodedStream, AReaderThatStopsEarlyStopsTheDecoder) {
    // The decoder fills what it may hand over ahead and waits; going away must release it.
    TDecodedStream stream(Pattern(true));
    EXPECT_TRUE(ReadsPatternAt(stream, 0, 10));
}

}  // namespace
}  // namespace kv
