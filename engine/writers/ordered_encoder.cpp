#include "engine/writers/ordered_encoder.h"

#include <utility>

namespace kv {

unsigned EncoderThreads(int requested) {
    if (requested > 0) return static_cast<unsigned>(requested);
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

TOrderedEncoder::TOrderedEncoder(std::size_t count, TCost cost, TWork work, unsigned threads, std::int64_t budget)
    : count_(count), cost_(std::move(cost)), work_(std::move(work)), budget_(budget) {
    if (threads <= 1) return;
    done_.resize(count_);
    for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

TOrderedEncoder::~TOrderedEncoder() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

TEncodedEntry TOrderedEncoder::RunWork(std::size_t index, TBufferEncoder& encoder) {
    try {
        return work_(index, encoder);
    } catch (...) {
        TEncodedEntry failed;
        failed.Failure = std::current_exception();
        return failed;
    }
}

void TOrderedEncoder::WorkerLoop() {
    TBufferEncoder encoder;
    std::unique_lock lock(mutex_);
    while (!stopping_ && next_ < count_) {
        const std::int64_t cost = cost_(next_);
        if (cost < 0) {
            ++next_;
            continue;
        }
        if (in_flight_ > 0 && in_flight_ + cost > budget_) {
            work_ready_.wait(lock);
            continue;
        }
        const std::size_t index = next_++;
        in_flight_ += cost;
        lock.unlock();
        TEncodedEntry encoded = RunWork(index, encoder);
        lock.lock();
        done_[index] = std::move(encoded);
        entry_done_.notify_all();
    }
}

TEncodedEntry TOrderedEncoder::Take(std::size_t index) {
    if (workers_.empty()) return work_(index, own_encoder_);
    std::unique_lock lock(mutex_);
    entry_done_.wait(lock, [&] { return done_[index].has_value(); });
    TEncodedEntry encoded = std::move(*done_[index]);
    done_[index].reset();
    in_flight_ -= cost_(index);
    lock.unlock();
    work_ready_.notify_all();
    if (encoded.Failure) std::rethrow_exception(encoded.Failure);
    return encoded;
}

}  // namespace kv
