// The library's entry points. Jobs run on the caller's thread; a call with a null record (from a callback
// or another thread) asks the running job to stop. No exception leaves these functions.
#include <atomic>
#include <exception>
#include <new>

#include "outside/zip_engine_records.h"
#include "outside/zipeng/job_reporter.h"
#include "outside/zipeng/zip_jobs.h"

namespace {

constexpr std::int32_t kPrivateVersion = 1760001;

std::atomic<bool> g_abort{false};
std::atomic<bool> g_busy{false};

bool IsValidRecord(const ZipCommand& command) {
    return command.Check == kZipEngRecordCheck && command.Version == kZipEngVersion &&
           command.ZipFileName != nullptr && *command.ZipFileName != '\0' && command.SpecCount >= 0 &&
           (command.SpecCount == 0 || command.Specs != nullptr) && command.ExcludeCount >= 0 &&
           (command.ExcludeCount == 0 || command.Excludes != nullptr);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) std::int32_t ZipEngExec(ZipCommand* command) {
    if (command == nullptr) {
        g_abort = true;
        return 0;
    }
    if (!IsValidRecord(*command)) return zrsBadRecord;
    if (g_busy.exchange(true)) return zrsBusy;
    g_abort = false;
    std::int32_t result = zrsAborting;
    try {
        kv::zipeng::TJobReporter reporter(*command, g_abort);
        result = command->DeleteEntries != 0 ? kv::zipeng::RunDeleteJob(*command, reporter)
                                             : kv::zipeng::RunAddJob(*command, reporter);
    } catch (const std::bad_alloc&) {
        result = zrsNoMemory;
    } catch (...) {
        result = zrsAborting;
    }
    g_busy = false;
    return result;
}

__attribute__((visibility("default"))) std::int32_t GetZipEngVersion() { return kZipEngVersion; }

__attribute__((visibility("default"))) std::int32_t GetZipEngPrivVersion() { return kPrivateVersion; }
}
