#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/codecs/block_filling_sink.h"

namespace kv {

// Decodes on a worker thread while the calling thread reads the packed bytes and writes what was decoded,
// through small bounded queues: the caller's I/O (and the events it raises: progress, cancelling, a full
// disk) stays on the caller's thread and in order, and overlaps the decoding. One worker serves every
// entry of an extraction, so that what a decoder keeps per thread (its model, its window) is kept.
class TOverlappedDecoder {
public:
    using TDecode = std::function<TDecodeResult(TByteSource&, TByteSink&)>;
    using TBlock = TBlockFillingSink::TBlock;

    TOverlappedDecoder();
    ~TOverlappedDecoder();
    TOverlappedDecoder(const TOverlappedDecoder&) = delete;
    TOverlappedDecoder& operator=(const TOverlappedDecoder&) = delete;

    // Runs `decode` on the worker, fed from `source` (read ahead of the decoder, never past its end) into
    // `sink`. A block `sink` refuses stops the decoder (drStopped); an exception the decoder throws is
    // thrown again here. Returns once the decoder has finished.
    TDecodeResult Decode(TByteSource& source, TByteSink& sink, const TDecode& decode);

private:
    class TPipeSource;

    void Work();
    // The worker's side: queues a decoded block, waiting while the caller is behind; false once it is leaving.
    bool HandOver(TBlock& block);
    TBlock Spare(std::size_t capacity);
    void Recycle(TBlock&& block);

    std::mutex mutex_;
    std::condition_variable changed_;
    // Guarded by mutex_.
    const TDecode* job_ = nullptr;  // the decoding the worker is to run
    std::deque<TBlock> packed_;     // read, not yet taken by the decoder
    std::deque<TBlock> decoded_;    // decoded, not yet written
    std::vector<TBlock> spare_;     // written or consumed blocks, to be filled again
    bool packed_ended_ = false;     // the source has no more
    bool decoder_done_ = false;
    bool stopping_ = false;  // the caller is leaving: the decoder is to stop
    bool quitting_ = false;  // the worker is to end
    TDecodeResult result_ = TDecodeResult::drOk;
    std::exception_ptr failure_;
    std::thread worker_;  // last: starts once the rest is ready
};

}  // namespace kv
