#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/writers/entry_encoder.h"
#include "engine/writers/zip_records.h"

namespace kv {

// Entries up to this size are encoded whole in memory; it also bounds the memory the encoders hold at once.
inline constexpr std::int64_t kWholeEntryBudget = std::int64_t{64} << 20;

// One entry encoded in memory, or why it could not be.
struct TEncodedEntry {
    TZipRecordEntry Entry;
    std::vector<std::uint8_t> Packed;
    int Error = 0;  // errno of a failed read
    std::exception_ptr Failure;  // what the work threw; Take throws it again on the consumer's thread
};

// Encodes entries ahead of a consumer that takes them strictly in order. Workers take the entries in order
// too, and only while the bytes in flight (encoded or being encoded, not yet taken) stay within the
// budget; an entry larger than the budget goes alone. With one thread nothing runs ahead: Take encodes on
// the caller's thread, and no thread is started.
class TOrderedEncoder {
public:
    // What entry `index` costs in memory; a negative cost marks an entry the consumer handles itself.
    using TCost = std::function<std::int64_t(std::size_t index)>;
    using TWork = std::function<TEncodedEntry(std::size_t index, TBufferEncoder& encoder)>;

    TOrderedEncoder(std::size_t count, TCost cost, TWork work, unsigned threads, std::int64_t budget);
    ~TOrderedEncoder();
    TOrderedEncoder(const TOrderedEncoder&) = delete;
    TOrderedEncoder& operator=(const TOrderedEncoder&) = delete;

    // Waits for entry `index` (non-negative cost; indices increasing from call to call) and hands it over;
    // throws what its work threw.
    TEncodedEntry Take(std::size_t index);

private:
    void WorkerLoop();
    TEncodedEntry RunWork(std::size_t index, TBufferEncoder& encoder);

    std::size_t count_;
    TCost cost_;
    TWork work_;
    std::int64_t budget_;
    TBufferEncoder own_encoder_;  // the single-threaded case's

    std::mutex mutex_;
    std::condition_variable work_ready_;  // budget freed, or stopping
    std::condition_variable entry_done_;
    std::size_t next_ = 0;
    std::int64_t in_flight_ = 0;
    bool stopping_ = false;
    std::vector<std::optional<TEncodedEntry>> done_;
    std::vector<std::thread> workers_;
};

// The threads a job asks for: 0 means one per core.
unsigned EncoderThreads(int requested);

}  // namespace kv
