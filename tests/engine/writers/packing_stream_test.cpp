// The stream a packed TAR is written into and the pipeline that compresses its pieces: pieces come out in
// the order they went in whatever order the workers finish, only the piece not yet handed over can be
// taken back, and failures of the output or the codec reach the writer.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "engine/core/memory_stream.h"
#include "engine/writers/chunk_pipeline.h"
#include "engine/writers/packing_stream.h"

namespace kv::test {
namespace {

std::string Contents(TMemoryStream32& stream) {
    return {reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size())};
}

// Each piece as "[bytes|last]", after a wait that makes later pieces finish first.
std::vector<std::uint8_t> Tagged(const std::uint8_t* data, std::size_t size, bool last) {
    std::this_thread::sleep_for(std::chrono::microseconds(size == 0 ? 0 : data[0] % 5 * 400));
    std::string piece = "[" + std::string(reinterpret_cast<const char*>(data), size) + (last ? "|last]" : "]");
    return {piece.begin(), piece.end()};
}

TEST(PackingStream, PiecesGoOutInOrderWithTheLastMarked) {
    TMemoryStream32 out;
    TPackingStream stream(std::make_unique<TChunkPipeline>(Tagged, out, 3), 4);
    // Writes of every length across piece borders, far more pieces than the pipeline keeps in hand.
    std::string written;
    for (int i = 0; i < 60; ++i) {
        const std::string part = std::string(static_cast<std::size_t>(i % 9), static_cast<char>('a' + i % 26));
        ASSERT_EQ(stream.WriteFull(part.data(), static_cast<std::int64_t>(part.size())),
                  static_cast<std::int64_t>(part.size()));
        written += part;
        EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(written.size()));
    }
    ASSERT_TRUE(stream.Finish());
    std::string expected;
    for (std::size_t at = 0; at < written.size(); at += 4) {
        const bool last = at + 4 >= written.size();
        expected += "[" + written.substr(at, 4) + (last ? "|last]" : "]");
    }
    EXPECT_EQ(Contents(out), expected);
}

TEST(PackingStream, OnlyThePieceInHandCanBeTakenBack) {
    TMemoryStream32 out;
    TPackingStream stream(std::make_unique<TChunkPipeline>(Tagged, out, 1), 4);
    ASSERT_EQ(stream.WriteFull("abcdef", 6), 6);  // "abcd" handed over, "ef" in hand
    EXPECT_FALSE(stream.SetSize(3));
    EXPECT_FALSE(stream.SetSize(7));
    EXPECT_FALSE(stream.SetPosition(5));  // no seeking within what is written
    EXPECT_TRUE(stream.SetSize(5));
    EXPECT_TRUE(stream.SetPosition(5));
    EXPECT_EQ(stream.Size(), 5);
    ASSERT_EQ(stream.WriteFull("XY", 2), 2);
    ASSERT_TRUE(stream.Finish());
    EXPECT_EQ(Contents(out), "[abcd][eXY|last]");
}

TEST(PackingStream, FailuresReachTheWriter) {
    // An output that takes nothing: the write that hands over a piece fails once its result is due.
    TMemoryStream32 full;
    full.SetSizeLimit(0);
    TPackingStream refused(std::make_unique<TChunkPipeline>(Tagged, full, 2), 4);
    ASSERT_EQ(refused.WriteFull("abc", 3), 3);
    EXPECT_FALSE(refused.Finish());

    const TChunkPipeline::TCodec broken = [](const std::uint8_t*, std::size_t, bool) -> std::vector<std::uint8_t> {
        throw std::runtime_error("codec failed");
    };
    TMemoryStream32 out;
    TPackingStream stream(std::make_unique<TChunkPipeline>(broken, out, 2), 4);
    ASSERT_EQ(stream.WriteFull("abc", 3), 3);
    EXPECT_THROW(stream.Finish(), std::runtime_error);
}

}  // namespace
}  // namespace kv::test
