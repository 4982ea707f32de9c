#pragma once

#include <atomic>
#include <cstdint>

#include "outside/zip_engine_records.h"

namespace kv {

// The memory within which the library inflates a Deflate entry in one call.
inline constexpr std::int64_t kUnzEngWholeBufferLimit = 64 * 1024 * 1024;

// Runs one extract or test job: checks the record, extracts or tests the entries its masks select and
// answers through its callback. Returns the files extracted (or tested) without fault, zrsBadRecord for a
// record that does not pass its checks, zrsCancelled when the callback asked to stop and zrsAborting when
// `abort` was set meanwhile. May throw (std::bad_alloc in particular); the entry point catches.
std::int32_t RunUnzipJob(const UnzipCommand& command, const std::atomic<bool>& abort);

}  // namespace kv
