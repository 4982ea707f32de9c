#include "engine/readers/overlapped_decode.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kv {
namespace {

// Packed bytes go over in small blocks (the decoder starts soon), decoded bytes in larger ones (fewer
// hand-overs); a few of each may wait, which keeps both threads busy in bounded memory.
constexpr std::size_t kPackedBlock = 64 * 1024;
constexpr std::size_t kDecodedBlock = 256 * 1024;
constexpr std::size_t kMaxWaiting = 4;

using TBlock = TOverlappedDecoder::TBlock;

}  // namespace

// The decoder's view of the packed queue.
class TOverlappedDecoder::TPipeSource : public TByteSource {
public:
    explicit TPipeSource(TOverlappedDecoder& pipes) : pipes_(pipes) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t size) override {
        if (at_ == block_.size() && !Take()) return 0;
        const std::size_t step = std::min(size, block_.size() - at_);
        std::memcpy(buffer, block_.data() + at_, step);
        at_ += step;
        return step;
    }

private:
    bool Take() {
        std::unique_lock lock(pipes_.mutex_);
        pipes_.changed_.wait(lock, [&] { return !pipes_.packed_.empty() || pipes_.packed_ended_ || pipes_.stopping_; });
        if (pipes_.packed_.empty() || pipes_.stopping_) return false;
        pipes_.Recycle(std::move(block_));
        block_ = std::move(pipes_.packed_.front());
        pipes_.packed_.pop_front();
        at_ = 0;
        pipes_.changed_.notify_all();
        return true;
    }

    TOverlappedDecoder& pipes_;
    TBlock block_;
    std::size_t at_ = 0;
};

TOverlappedDecoder::TOverlappedDecoder() : worker_([this] { Work(); }) {}

TOverlappedDecoder::~TOverlappedDecoder() {
    {
        std::lock_guard lock(mutex_);
        quitting_ = true;
        changed_.notify_all();
    }
    worker_.join();
}

TBlock TOverlappedDecoder::Spare(std::size_t capacity) {
    TBlock block;
    if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
        block.clear();
    }
    block.reserve(capacity);
    return block;
}

void TOverlappedDecoder::Recycle(TBlock&& block) {
    if (spare_.size() < 2 * kMaxWaiting) spare_.push_back(std::move(block));
}

bool TOverlappedDecoder::HandOver(TBlock& block) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || decoded_.size() < kMaxWaiting; });
    if (stopping_) return false;
    decoded_.push_back(std::move(block));
    block = Spare(kDecodedBlock);
    changed_.notify_all();
    return true;
}

void TOverlappedDecoder::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return job_ != nullptr || quitting_; });
        if (job_ == nullptr) return;
        lock.unlock();
        TDecodeResult result = TDecodeResult::drOk;
        std::exception_ptr failure;
        {
            TPipeSource pipe_source(*this);
            TBlockFillingSink pipe_sink(kDecodedBlock, [this](TBlock& block) { return HandOver(block); });
            try {
                result = (*job_)(pipe_source, pipe_sink);
                // What came before a failure is written too.
                if (!pipe_sink.Flush()) result = TDecodeResult::drStopped;
            } catch (...) {
                failure = std::current_exception();
            }
        }
        lock.lock();
        result_ = result;
        failure_ = failure;
        job_ = nullptr;
        decoder_done_ = true;
        changed_.notify_all();
    }
}

TDecodeResult TOverlappedDecoder::Decode(TByteSource& source, TByteSink& sink, const TDecode& decode) {
    std::unique_lock lock(mutex_);
    packed_.clear();
    decoded_.clear();
    packed_ended_ = false;
    decoder_done_ = false;
    stopping_ = false;
    job_ = &decode;
    changed_.notify_all();
    // However this thread leaves (a refused block, a full disk's exception), the decoder is stopped and
    // waited for: it must not touch `decode` or the queues' blocks once this call is over.
    struct TFinish {
        TOverlappedDecoder& self;
        std::unique_lock<std::mutex>& lock;
        ~TFinish() {
            if (!lock.owns_lock()) lock.lock();
            self.stopping_ = true;
            self.changed_.notify_all();
            self.changed_.wait(lock, [&] { return self.decoder_done_; });
        }
    } finish{*this, lock};

    for (;;) {
        changed_.wait(lock, [&] {
            return !decoded_.empty() || decoder_done_ || (!packed_ended_ && packed_.size() < kMaxWaiting);
        });
        // A decoder waiting for packed bytes is served first; one that has finished needs none.
        const bool starving = !decoder_done_ && packed_.empty() && !packed_ended_;
        if (!decoded_.empty() && !starving) {
            TBlock block = std::move(decoded_.front());
            decoded_.pop_front();
            changed_.notify_all();
            lock.unlock();
            const bool accepted = sink.Write(block.data(), block.size());
            lock.lock();
            Recycle(std::move(block));
            if (!accepted) return TDecodeResult::drStopped;
        } else if (!packed_ended_ && packed_.size() < kMaxWaiting && !decoder_done_) {
            TBlock block = Spare(kPackedBlock);
            lock.unlock();
            block.resize(kPackedBlock);
            block.resize(source.Read(block.data(), kPackedBlock));
            lock.lock();
            if (block.empty()) packed_ended_ = true;
            else packed_.push_back(std::move(block));
            changed_.notify_all();
        } else if (decoder_done_ && decoded_.empty()) {
            break;
        }
    }
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    return result_;
}

}  // namespace kv
