#include "engine/writers/chunk_pipeline.h"

#include <algorithm>
#include <utility>

namespace kv {
namespace {

// Pieces each worker may have ready or in hand before the writer takes them.
constexpr std::size_t kPiecesInHandPerThread = 4;

}  // namespace

TChunkPipeline::TChunkPipeline(TCodec codec, TStream32& out, unsigned threads)
    : codec_(std::move(codec)), out_(out), max_in_hand_(kPiecesInHandPerThread * std::max(threads, 1u)) {
    for (unsigned i = 0; i < std::max(threads, 1u); ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

TChunkPipeline::~TChunkPipeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void TChunkPipeline::WorkerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_ready_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
        if (stopping_) return;
        const std::shared_ptr<TJob> job = std::move(waiting_.front());
        waiting_.pop_front();
        lock.unlock();
        try {
            job->Packed = codec_(job->Input.data(), job->Input.size(), job->Last);
        } catch (...) {
            job->Failure = std::current_exception();
        }
        job->Input = {};
        lock.lock();
        job->Done = true;
        job_done_.notify_all();
    }
}

bool TChunkPipeline::WriteOldest(bool wait, bool& failed) {
    std::shared_ptr<TJob> job;
    {
        std::unique_lock lock(mutex_);
        if (in_hand_.empty()) return false;
        if (wait) job_done_.wait(lock, [&] { return in_hand_.front()->Done; });
        if (!in_hand_.front()->Done) return false;
        job = std::move(in_hand_.front());
        in_hand_.pop_front();
    }
    if (job->Failure) std::rethrow_exception(job->Failure);
    const auto size = static_cast<std::int64_t>(job->Packed.size());
    failed = out_.WriteFull(job->Packed.data(), size) != size;
    return !failed;
}

bool TChunkPipeline::Put(std::vector<std::uint8_t> chunk, bool last) {
    auto job = std::make_shared<TJob>();
    job->Input = std::move(chunk);
    job->Last = last;
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(job);
        in_hand_.push_back(std::move(job));
    }
    work_ready_.notify_one();
    bool failed = false;
    // What is ready goes out now; beyond the bound, or at the end, the writer waits for it.
    while (WriteOldest(false, failed)) {
    }
    for (;;) {
        std::size_t count = 0;
        {
            std::lock_guard lock(mutex_);
            count = in_hand_.size();
        }
        if (failed || count == 0 || (!last && count <= max_in_hand_)) break;
        WriteOldest(true, failed);
    }
    return !failed;
}

}  // namespace kv
