#include "engine/readers/decoded_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kv {
namespace {

// How much the worker hands over at once, and how many such blocks it may be ahead of the reader.
constexpr std::size_t kBlockSize = 1024 * 1024;
constexpr std::size_t kMaxReady = 8;

}  // namespace

TDecodedStream::TDecodedStream(std::function<bool(TByteSink&)> decode) {
    worker_ = std::thread([this, decode = std::move(decode)] {
        TBlockFillingSink sink(kBlockSize, [this](TBlock& block) { return HandOver(block); });
        bool whole = false;
        try {
            // What was decoded before a failure is handed over too.
            const bool decoded = decode(sink);
            whole = sink.Flush() && decoded;
        } catch (...) {
            // Out of memory and the like: the data ends here, not decoded whole.
        }
        std::lock_guard lock(mutex_);
        ended_ = true;
        decoded_whole_ = whole;
        changed_.notify_all();
    });
}

TDecodedStream::~TDecodedStream() { Stop(); }

bool TDecodedStream::HandOver(TBlock& block) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || ready_.size() < kMaxReady; });
    if (stopping_) return false;
    ready_.push_back(std::move(block));
    // A block the reader is done with saves allocating a new one.
    if (spare_.empty()) {
        block = {};
    } else {
        block = std::move(spare_.back());
        spare_.pop_back();
    }
    changed_.notify_all();
    return true;
}

void TDecodedStream::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    if (worker_.joinable()) worker_.join();
}

bool TDecodedStream::Drain() {
    while (TakeBlock()) {
    }
    if (worker_.joinable()) worker_.join();
    return decoded_whole_;
}

bool TDecodedStream::TakeBlock() {
    TBlock block;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !ready_.empty() || ended_ || stopping_; });
        if (ready_.empty()) return false;
        block = std::move(ready_.front());
        ready_.pop_front();
        changed_.notify_all();
    }
    kept_end_ += static_cast<std::int64_t>(block.size());
    kept_.push_back(std::move(block));
    // Forget what lies too far behind to be sought back to.
    while (kept_.size() > 1 && kept_end_ - kept_start_ - static_cast<std::int64_t>(kept_.front().size()) >=
                                   static_cast<std::int64_t>(kKeptBehind)) {
        kept_start_ += static_cast<std::int64_t>(kept_.front().size());
        std::lock_guard lock(mutex_);
        if (spare_.size() < kMaxReady) spare_.push_back(std::move(kept_.front()));
        kept_.pop_front();
    }
    return true;
}

std::int64_t TDecodedStream::Read(void* buffer, std::int64_t count) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        while (position_ >= kept_end_) {
            if (!TakeBlock()) return done;
        }
        // The block holding position_, found from the end: reading goes on near the newest block.
        std::int64_t block_start = kept_end_;
        auto block = kept_.end();
        do {
            --block;
            block_start -= static_cast<std::int64_t>(block->size());
        } while (block_start > position_);
        const auto at = static_cast<std::size_t>(position_ - block_start);
        const auto step = static_cast<std::int64_t>(
            std::min<std::size_t>(block->size() - at, static_cast<std::size_t>(count - done)));
        std::memcpy(out + done, block->data() + at, static_cast<std::size_t>(step));
        done += step;
        position_ += step;
    }
    return done;
}

std::int64_t TDecodedStream::Write(const void*, std::int64_t) { return 0; }

std::int64_t TDecodedStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t target = origin == TSeekOrigin::soBeginning ? offset
                                : origin == TSeekOrigin::soCurrent ? position_ + offset
                                                                   : Size() + offset;
    if (target < kept_start_) return -1;  // forgotten already
    // Forward: what lies between is decoded and passed over; past the end the position stays at the end.
    while (target > kept_end_ && TakeBlock()) {
    }
    position_ = std::min(target, kept_end_);
    return position_;
}

std::int64_t TDecodedStream::Size() {
    std::lock_guard lock(mutex_);
    if (!ended_) return std::numeric_limits<std::int64_t>::max() / 2;
    std::int64_t size = kept_end_;
    for (const TBlock& block : ready_) size += static_cast<std::int64_t>(block.size());
    return size;
}

}  // namespace kv
