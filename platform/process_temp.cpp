#include "platform/process_temp.h"

#include <pthread.h>
#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

namespace kv::platform {
namespace {

sigset_t TerminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void RemoveTree(const std::string& folder) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}

}  // namespace

TProcessTempFolder::TProcessTempFolder() {
    std::error_code error;
    const std::filesystem::path parent = std::filesystem::temp_directory_path(error);
    if (error) return;
    std::string pattern = (parent / "kv-run-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) return;
    path_ = buffer.data();
    if (const char* value = std::getenv("TMPDIR")) {
        had_tmpdir_ = true;
        previous_tmpdir_ = value;
    }
    ::setenv("TMPDIR", path_.c_str(), 1);
}

TProcessTempFolder::~TProcessTempFolder() {
    if (path_.empty()) return;
    if (had_tmpdir_)
        ::setenv("TMPDIR", previous_tmpdir_.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    RemoveTree(path_);
}

void RemoveOnTerminationSignals(const std::string& folder) {
    if (folder.empty()) return;
    const sigset_t signals = TerminationSignals();
    // Blocked here, the signals stay blocked in every thread started later and reach only sigwait below.
    if (::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return;
    std::thread([folder, signals] {
        int signal_number = 0;
        if (::sigwait(&signals, &signal_number) != 0) return;
        RemoveTree(folder);
        // Ended by the signal itself, so that the caller sees why (a shell prints nothing for SIGINT and
        // reports 128 + the number).
        ::signal(signal_number, SIG_DFL);
        ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
        ::raise(signal_number);
        ::_exit(128 + signal_number);
    }).detach();
}

}  // namespace kv::platform
