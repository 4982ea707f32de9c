// The library's entry points: the only symbols it shows, and the border no exception may cross.
#include <atomic>
#include <new>

#include "outside/unzeng/unz_eng_job.h"
#include "outside/zip_engine_records.h"

#define KV_UNZENG_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr std::int32_t kPrivateVersion = 1760000;

std::atomic<bool> job_running{false};
std::atomic<bool> abort_requested{false};

}  // namespace

KV_UNZENG_EXPORT std::int32_t UnzEngExec(UnzipCommand* command) {
    if (command == nullptr) {
        if (job_running.load()) abort_requested.store(true);
        return 0;
    }
    bool idle = false;
    if (!job_running.compare_exchange_strong(idle, true)) return zrsBusy;
    abort_requested.store(false);
    std::int32_t result = zrsAborting;
    try {
        result = kv::RunUnzipJob(*command, abort_requested);
    } catch (const std::bad_alloc&) {
        result = zrsNoMemory;
    } catch (...) {
        result = zrsAborting;
    }
    job_running.store(false);
    return result;
}

KV_UNZENG_EXPORT std::int32_t GetUnzEngVersion() { return kZipEngVersion; }

KV_UNZENG_EXPORT std::int32_t GetUnzEngPrivVersion() { return kPrivateVersion; }
