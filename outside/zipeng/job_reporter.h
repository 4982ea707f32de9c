#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "outside/zip_engine_records.h"

namespace kv::zipeng {

// Sends a job's requests through the caller's callback, on the calling thread, and remembers when the
// caller (a non-zero answer) or an abort call asked the job to stop.
class TJobReporter {
public:
    TJobReporter(const ZipCommand& command, const std::atomic<bool>& abort);

    // True once the job must stop.
    bool Stopped() const { return stopped_ || abort_.load(); }

    // Each returns false when the job must stop.
    bool FileCount(std::int64_t count);
    bool ByteTotal(std::int64_t bytes);
    bool NewItem(const std::string& name, std::int64_t size);
    bool BytesDone(std::int64_t bytes);
    bool NewStep(int step, std::int64_t size, const std::string& name);
    bool StepProgress(std::int64_t bytes);
    bool EndOfBatch();
    // An error (ZipEngError) or, with zeOk, a plain message.
    bool Message(ZipEngError error, const std::string& text);
    // The name to store for a file: the caller may change it.
    std::string AddName(const std::string& stored_name, const std::string& disk_name);
    // A password for adding, or nothing when the caller gave none.
    std::optional<std::string> AddPassword(const std::string& file_name);

private:
    // Fills the common fields, sends the request and keeps the answer; false when the job must stop.
    bool Send(ZipEngRequest code, std::int32_t arg1, std::int64_t size, const std::string& text,
              void* data = nullptr);

    const ZipCommand& command_;
    const std::atomic<bool>& abort_;
    ZipCallbackRecord record_{};
    bool stopped_ = false;
};

}  // namespace kv::zipeng
