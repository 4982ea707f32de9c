#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/core/stream32.h"

namespace kv {

// Where input is fed piece by piece, in order, to be compressed.
class TChunkSink {
public:
    virtual ~TChunkSink() = default;
    // Takes the next piece of input, the last one when `last`; false when the output did not take what came
    // of it (or, after the last piece, of any piece still in hand).
    virtual bool Put(std::vector<std::uint8_t> chunk, bool last) = 0;
};

// Compresses the pieces it is given on worker threads and writes them to `out` in the order they came. The
// pieces in hand are bounded: Put waits for the oldest to be written once too many are, so memory does not
// grow with the input. A codec's exception comes out of Put on the caller's thread.
class TChunkPipeline : public TChunkSink {
public:
    using TCodec = std::function<std::vector<std::uint8_t>(const std::uint8_t* data, std::size_t size, bool last)>;

    TChunkPipeline(TCodec codec, TStream32& out, unsigned threads);
    ~TChunkPipeline() override;
    TChunkPipeline(const TChunkPipeline&) = delete;
    TChunkPipeline& operator=(const TChunkPipeline&) = delete;

    bool Put(std::vector<std::uint8_t> chunk, bool last) override;

private:
    struct TJob {
        std::vector<std::uint8_t> Input;
        bool Last = false;
        bool Done = false;
        std::vector<std::uint8_t> Packed;
        std::exception_ptr Failure;
    };
    void WorkerLoop();
    // Writes the oldest piece, waiting for it when `wait`; false when it was not ready or `out` failed.
    bool WriteOldest(bool wait, bool& failed);

    TCodec codec_;
    TStream32& out_;
    std::size_t max_in_hand_;

    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable job_done_;
    std::deque<std::shared_ptr<TJob>> waiting_;  // not yet taken by a worker
    std::deque<std::shared_ptr<TJob>> in_hand_;  // not yet written, oldest first
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace kv
