// Decoding on a worker while the caller reads and writes: every byte arrives in order, the caller's source
// and sink are touched on the caller's thread only, whoever stops first (a refusing sink, a throwing sink or
// decoder) leaves nothing hanging, and the worker serves the next entry as if nothing had happened.
#include "engine/readers/overlapped_decode.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kv {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

// Hands out its bytes in uneven pieces and notes the threads it is called on.
class TPieceSource : public TByteSource {
public:
    static constexpr std::size_t kPiece = 50'001;
    explicit TPieceSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t size) override {
        on_caller = on_caller && std::this_thread::get_id() == caller_;
        const std::size_t step = std::min({size, bytes_.size() - at_, kPiece});
        std::copy_n(bytes_.data() + at_, step, buffer);
        at_ += step;
        return step;
    }
    bool on_caller = true;

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t at_ = 0;
    std::thread::id caller_ = std::this_thread::get_id();
};

// Keeps what it is given; refuses (or throws) once it holds `limit` bytes.
class TKeepingSink : public TByteSink {
public:
    explicit TKeepingSink(std::size_t limit = SIZE_MAX, bool throws = false) : limit_(limit), throws_(throws) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
        on_caller = on_caller && std::this_thread::get_id() == caller_;
        std::this_thread::sleep_for(pause);
        if (kept.size() >= limit_) {
            if (throws_) throw std::runtime_error("disk full");
            return false;
        }
        kept.insert(kept.end(), data, data + size);
        return true;
    }
    std::vector<std::uint8_t> kept;
    bool on_caller = true;
    std::chrono::milliseconds pause{0};  // taken in every write, as a slow disk would

private:
    std::size_t limit_;
    bool throws_;
    std::thread::id caller_ = std::this_thread::get_id();
};

// Copies its source to its sink in steps of its own, then gives `verdict`.
struct TCopyDecoder {
    TDecodeResult verdict = TDecodeResult::drOk;
    TDecodeResult operator()(TByteSource& source, TByteSink& sink) {
        std::vector<std::uint8_t> step(33'333);
        for (std::size_t got; (got = source.Read(step.data(), step.size())) > 0;) {
            if (!sink.Write(step.data(), got)) return TDecodeResult::drStopped;
        }
        return verdict;
    }
};

TEST(OverlappedDecode, EveryByteArrivesInOrderAndTheVerdictPassesThrough) {
    struct Case {
        std::size_t size;
        TDecodeResult verdict;
    };
    // Empty, less than a block, many blocks and not a whole number of them; each verdict as the decoder gave it.
    const Case cases[] = {
        {0, TDecodeResult::drOk},
        {1000, TDecodeResult::drOk},
        {5'000'003, TDecodeResult::drOk},
        {700'000, TDecodeResult::drDataError},
        {700'000, TDecodeResult::drTruncated},
    };
    TOverlappedDecoder overlapped;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::vector<std::uint8_t> bytes = Pattern(c.size);
        TPieceSource source(bytes);
        TKeepingSink sink;
        TCopyDecoder decoder{.verdict = c.verdict};
        EXPECT_EQ(overlapped.Decode(source, sink, std::ref(decoder)), c.verdict);
        EXPECT_TRUE(sink.kept == bytes);
        EXPECT_TRUE(source.on_caller);
        EXPECT_TRUE(sink.on_caller);
    }
}

// A decoder may finish before its packed data does (an end mark ahead of what the caller read) with output
// still waiting: all of it is written, and the read it did not ask for is not waited for. The pauses set the
// order: the caller has read ahead all it may and is writing the first block when the decoder takes the rest.
TEST(OverlappedDecode, ADecoderThatStopsReadingEarlyHasItsOutputWritten) {
    using namespace std::chrono_literals;
    TOverlappedDecoder overlapped;
    // As many pieces as the caller reads ahead, so that it has not yet found the end.
    const std::size_t packed_size = 4 * TPieceSource::kPiece;
    TPieceSource source(Pattern(packed_size));
    TKeepingSink sink;
    sink.pause = 50ms;
    const std::vector<std::uint8_t> first = Pattern(256 * 1024);
    const auto stops_early = [&](TByteSource& from, TByteSink& to) {
        std::this_thread::sleep_for(50ms);
        if (!to.Write(first.data(), first.size())) return TDecodeResult::drStopped;
        std::vector<std::uint8_t> taken(packed_size);
        for (std::size_t at = 0; at < packed_size;) at += from.Read(taken.data() + at, packed_size - at);
        return to.Write(taken.data(), 100) ? TDecodeResult::drOk : TDecodeResult::drStopped;
    };
    EXPECT_EQ(overlapped.Decode(source, sink, stops_early), TDecodeResult::drOk);
    std::vector<std::uint8_t> expected = first;
    expected.insert(expected.end(), first.begin(), first.begin() + 100);
    EXPECT_TRUE(sink.kept == expected);
}

// After each way of stopping early, the same worker decodes a sound entry whole.
TEST(OverlappedDecode, StoppingEarlyLeavesNothingHangingAndTheWorkerReady) {
    TOverlappedDecoder overlapped;
    const auto next_entry_is_whole = [&] {
        const std::vector<std::uint8_t> bytes = Pattern(900'000);
        TPieceSource source(bytes);
        TKeepingSink sink;
        TCopyDecoder decoder;
        EXPECT_EQ(overlapped.Decode(source, sink, std::ref(decoder)), TDecodeResult::drOk);
        EXPECT_TRUE(sink.kept == bytes);
    };
    {
        SCOPED_TRACE("a refusing sink");
        // The decoder is ahead (several blocks wait) when the sink refuses; it must be released.
        TPieceSource source(Pattern(20'000'000));
        TKeepingSink sink(600'000);
        TCopyDecoder decoder;
        EXPECT_EQ(overlapped.Decode(source, sink, std::ref(decoder)), TDecodeResult::drStopped);
        EXPECT_LT(sink.kept.size(), 20'000'000u);
        next_entry_is_whole();
    }
    {
        SCOPED_TRACE("a sink that throws, as a full disk does");
        TPieceSource source(Pattern(20'000'000));
        TKeepingSink sink(600'000, true);
        TCopyDecoder decoder;
        EXPECT_THROW(overlapped.Decode(source, sink, std::ref(decoder)), std::runtime_error);
        next_entry_is_whole();
    }
    {
        SCOPED_TRACE("a decoder that throws (out of memory, say)");
        TPieceSource source(Pattern(1000));
        TKeepingSink sink;
        const auto throwing = [](TByteSource&, TByteSink& to) -> TDecodeResult {
            const std::vector<std::uint8_t> some(100, 'x');
            to.Write(some.data(), some.size());
            throw std::bad_alloc();
        };
        EXPECT_THROW(overlapped.Decode(source, sink, throwing), std::bad_alloc);
        next_entry_is_whole();
    }
}

}  // namespace
}  // namespace kv
