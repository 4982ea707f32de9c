#include "platform/pending_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace kv::platform {
namespace {

// Names are at most 255 bytes; the hidden temporary one adds a dot and ".kvXXXXXX".
constexpr std::size_t kMaxKeptNameBytes = 200;
constexpr int kMaxNameAttempts = 100;

std::string TemporaryName(const std::string& final_path) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::size_t slash = final_path.rfind('/');
    const std::size_t name_at = slash == std::string::npos ? 0 : slash + 1;
    std::string temp = final_path.substr(0, name_at) + "." +
                       final_path.substr(name_at, kMaxKeptNameBytes) + ".kv";
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
    for (int i = 0; i < 6; ++i) temp += kLetters[pick(random)];
    return temp;
}

}  // namespace

bool TPendingOutput::Create(const std::string& final_path, const std::function<int(const std::string& temp)>& make) {
    Discard();
    for (int attempt = 0; attempt <= kMaxNameAttempts; ++attempt) {
        std::string temp = attempt == 0 ? final_path : TemporaryName(final_path);
        if (make(temp) == 0) {
            temp_ = std::move(temp);
            final_ = final_path;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

int TPendingOutput::CreateFile(const std::string& final_path) {
    int handle = -1;
    const bool made = Create(final_path, [&](const std::string& temp) {
        handle = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        return handle < 0 ? -1 : 0;
    });
    return made ? handle : -1;
}

bool TPendingOutput::CreateSymbolicLink(const std::string& target, const std::string& final_path) {
    return Create(final_path, [&](const std::string& temp) { return ::symlink(target.c_str(), temp.c_str()); });
}

bool TPendingOutput::CreateHardLink(const std::string& existing, const std::string& final_path) {
    return Create(final_path, [&](const std::string& temp) { return ::link(existing.c_str(), temp.c_str()); });
}

bool TPendingOutput::Commit() {
    if (!Active()) return false;
    if (!InPlace()) {
        // Renaming over an existing file makes ext4 write the new one out at once (its guard for programs
        // that replace files without syncing them), which costs more than extracting many small files
        // does. The old file is taken away first instead, now that the new one is complete.
        const bool old_removed = ::unlink(final_.c_str()) == 0;
        if (std::rename(temp_.c_str(), final_.c_str()) != 0) {
            // With the old file gone, the new one stays under its temporary name rather than nowhere.
            if (old_removed) temp_.clear();
            else Discard();
            return false;
        }
    }
    temp_.clear();
    return true;
}

bool TPendingOutput::CommitIfFree() {
    if (InPlace()) return Commit();
    if (!Active()) return false;
    // A second name fails where the name is taken, however it was taken meanwhile.
    const bool linked = ::link(temp_.c_str(), final_.c_str()) == 0;
    Discard();
    return linked;
}

void TPendingOutput::Discard() {
    if (!Active()) return;
    ::unlink(temp_.c_str());
    temp_.clear();
}

}  // namespace kv::platform
