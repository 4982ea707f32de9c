#include "engine/readers/overlapped_decode.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kv {
namespace {

// Packed bytes go over in small blocks (the decoder starts soon), decoded bytes in larger ones (fewer
// hand-overs); a few of each may wait, which keeps both threads busy in bounded memory.
constexpr std::size_t kPackedBlock = 64 * 1024;
constexpr std::size_t kDecodedBlock = 256 * 1024;
constexpr std::size_t kMaxWaiting = 4;

using TBlock = std::vector<std::uint8_t>;

// What the two threads share; every member is guarded by `mutex`.
struct TPipes {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<TBlock> packed;   // read, not yet taken by the decoder
    std::deque<TBlock> decoded;  // decoded, not yet written
    std::vector<TBlock> spare;   // written or consumed blocks, to be filled again
    bool packed_ended = false;   // the source has no more
    bool decoder_done = false;
    bool stopping = false;  // the caller is going away: the decoder is to stop

    TBlock Spare(std::size_t capacity) {
        TBlock block;
        if (!spare.empty()) {
            block = std::move(spare.back());
            spare.pop_back();
            block.clear();
        }
        block.reserve(capacity);
        return block;
    }
    void Recycle(TBlock&& block) {
        if (spare.size() < 2 * kMaxWaiting) spare.push_back(std::move(block));
    }
};

// The decoder's view of the packed queue.
class TPipeSource : public TByteSource {
public:
    explicit TPipeSource(TPipes& pipes) : pipes_(pipes) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t size) override {
        if (at_ == block_.size() && !Take()) return 0;
        const std::size_t step = std::min(size, block_.size() - at_);
        std::memcpy(buffer, block_.data() + at_, step);
        at_ += step;
        return step;
    }

private:
    bool Take() {
        std::unique_lock lock(pipes_.mutex);
        pipes_.changed.wait(lock, [&] { return !pipes_.packed.empty() || pipes_.packed_ended || pipes_.stopping; });
        if (pipes_.packed.empty() || pipes_.stopping) return false;
        pipes_.Recycle(std::move(block_));
        block_ = std::move(pipes_.packed.front());
        pipes_.packed.pop_front();
        at_ = 0;
        pipes_.changed.notify_all();
        return true;
    }

    TPipes& pipes_;
    TBlock block_;
    std::size_t at_ = 0;
};

// The decoder's view of the decoded queue: fills a block, then hands it over, waiting while the caller
// is behind.
class TPipeSink : public TByteSink {
public:
    explicit TPipeSink(TPipes& pipes) : pipes_(pipes) { block_.reserve(kDecodedBlock); }

    bool Write(const std::uint8_t* data, std::size_t size) override {
        while (size > 0) {
            const std::size_t step = std::min(size, kDecodedBlock - block_.size());
            block_.insert(block_.end(), data, data + step);
            data += step;
            size -= step;
            if (block_.size() == kDecodedBlock && !HandOver()) return false;
        }
        return true;
    }

    bool HandOver() {
        if (block_.empty()) return true;
        std::unique_lock lock(pipes_.mutex);
        pipes_.changed.wait(lock, [&] { return pipes_.stopping || pipes_.decoded.size() < kMaxWaiting; });
        if (pipes_.stopping) return false;
        pipes_.decoded.push_back(std::move(block_));
        block_ = pipes_.Spare(kDecodedBlock);
        pipes_.changed.notify_all();
        return true;
    }

private:
    TPipes& pipes_;
    TBlock block_;
};

}  // namespace

TDecodeResult DecodeOverlapped(TByteSource& source, TByteSink& sink,
                               const std::function<TDecodeResult(TByteSource&, TByteSink&)>& decode) {
    TPipes pipes;
    TDecodeResult result = TDecodeResult::drOk;
    std::exception_ptr failure;
    std::thread worker([&] {
        TPipeSource pipe_source(pipes);
        TPipeSink pipe_sink(pipes);
        try {
            result = decode(pipe_source, pipe_sink);
            // What came before a failure is written too.
            if (!pipe_sink.HandOver()) result = TDecodeResult::drStopped;
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(pipes.mutex);
        pipes.decoder_done = true;
        pipes.changed.notify_all();
    });
    // However this thread leaves (a refused block, a full disk's exception), the decoder stops and is
    // waited for before the queues go away.
    struct TJoin {
        TPipes& pipes;
        std::thread& worker;
        ~TJoin() {
            {
                std::lock_guard lock(pipes.mutex);
                pipes.stopping = true;
                pipes.changed.notify_all();
            }
            worker.join();
        }
    } join{pipes, worker};

    std::unique_lock lock(pipes.mutex);
    for (;;) {
        pipes.changed.wait(lock, [&] {
            return !pipes.decoded.empty() || pipes.decoder_done ||
                   (!pipes.packed_ended && pipes.packed.size() < kMaxWaiting);
        });
        const bool starving = pipes.packed.empty() && !pipes.packed_ended;
        if (!pipes.decoded.empty() && !starving) {
            TBlock block = std::move(pipes.decoded.front());
            pipes.decoded.pop_front();
            pipes.changed.notify_all();
            lock.unlock();
            const bool accepted = sink.Write(block.data(), block.size());
            lock.lock();
            pipes.Recycle(std::move(block));
            if (!accepted) return TDecodeResult::drStopped;
        } else if (!pipes.packed_ended && pipes.packed.size() < kMaxWaiting && !pipes.decoder_done) {
            TBlock block = pipes.Spare(kPackedBlock);
            lock.unlock();
            block.resize(kPackedBlock);
            block.resize(source.Read(block.data(), kPackedBlock));
            lock.lock();
            if (block.empty()) pipes.packed_ended = true;
            else pipes.packed.push_back(std::move(block));
            pipes.changed.notify_all();
        } else if (pipes.decoder_done && pipes.decoded.empty()) {
            break;
        }
    }
    // decoder_done was seen under the lock, after the worker set `result` and `failure`.
    if (failure) std::rethrow_exception(failure);
    return result;
}

}  // namespace kv
