#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/codecs/block_filling_sink.h"
#include "engine/core/stream32.h"

namespace kv {

// The decoded bytes of a compressed file as a stream read once from start to end, as a TAR inside a
// GZIP, BZIP2 or compress file is read: a worker thread decodes ahead while the reader works on what came
// before, and nothing of the decoded file lands on disk. Seeking goes forward (skipping what lies between)
// and back over the last kKeptBehind bytes read, no further.
class TDecodedStream : public TStream32 {
public:
    // `decode` writes the decoded bytes into the sink it is given, on the worker thread, and tells whether
    // the data decoded whole; it stops early when the sink refuses a block (the stream is going away).
    explicit TDecodedStream(std::function<bool(TByteSink&)> decode);
    // Stops the decoder and waits for it.
    ~TDecodedStream() override;
    TDecodedStream(const TDecodedStream&) = delete;
    TDecodedStream& operator=(const TDecodedStream&) = delete;

    static constexpr std::size_t kKeptBehind = 4 * 1024 * 1024;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    // The decoded size once the decoder has finished; until then the largest size a stream may have.
    std::int64_t Size() override;

    // Reads what is left and waits for the decoder to finish; whether the data decoded whole (its checks
    // passed).
    bool Drain();

private:
    // Blocks of decoded bytes: the unread ones handed over by the worker, the read ones kept for seeking back.
    using TBlock = TBlockFillingSink::TBlock;

    // The worker's side: queues a full block, waiting while the reader is far behind; false once it has gone.
    bool HandOver(TBlock& block);

    // Takes the next block from the worker into kept_; false at the end of the data.
    bool TakeBlock();
    void Stop();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TBlock> ready_;   // decoded, not yet taken; bounded by kMaxReady
    std::vector<TBlock> spare_;  // read and forgotten, for the worker to fill again
    bool ended_ = false;         // the decoder returned
    bool decoded_whole_ = false;
    bool stopping_ = false;  // the reader is going away: the decoder is to stop

    // The reader's side, touched only by the reading thread.
    std::deque<TBlock> kept_;      // taken blocks, oldest first
    std::int64_t kept_start_ = 0;  // decoded offset of kept_'s first byte
    std::int64_t kept_end_ = 0;    // decoded offset past kept_'s last byte
    std::int64_t position_ = 0;

    std::thread worker_;
};

}  // namespace kv
