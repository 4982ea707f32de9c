#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "outside/zip_engine_records.h"

namespace kv {

// The requests of one running job, sent through the caller's callback record. Once the caller answers a
// request with a non-zero result, or the job is aborted, nothing more is sent.
class TRequestChannel {
public:
    TRequestChannel(const UnzipCommand& command, const std::atomic<bool>& abort) : command_(command), abort_(abort) {}

    // Sends a request and returns the record as the caller left it (as it was filled when nothing was sent).
    // `size` goes into the record's 64-bit size for the requests that report one.
    const ZipCallbackRecord& Send(ZipEngRequest code, std::int32_t arg1 = 0, std::int32_t arg2 = 0,
                                  std::string_view text = {}, std::int64_t size = 0);

    // The caller answered with a non-zero result, or the job was aborted.
    bool Stopped() const { return stopped_ || Aborted(); }
    bool Aborted() const { return abort_.load(std::memory_order_relaxed); }
    // The answer's text, up to its terminator.
    std::string AnswerText() const;

private:
    const UnzipCommand& command_;
    const std::atomic<bool>& abort_;
    ZipCallbackRecord record_{};
    bool stopped_ = false;
};

}  // namespace kv
