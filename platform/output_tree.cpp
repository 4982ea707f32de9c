#include "platform/output_tree.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/dir_probe.h"
#include "platform/paths.h"

namespace kv::platform {

void TOutputTree::SetBase(const std::string& base) {
    if (base == base_) return;
    base_ = base;
    Forget();
}

void TOutputTree::Forget() {
    verified_ = base_;
    base_made_ = false;
}

bool TOutputTree::Contains(const std::string& path) const {
    return !base_.empty() && path.size() > base_.size() && path.compare(0, base_.size(), base_) == 0;
}

std::size_t TOutputTree::VerifiedLength(const std::string& path) const {
    std::size_t length = 0;
    for (std::size_t i = 0; i < verified_.size() && i < path.size() && verified_[i] == path[i]; ++i) {
        if (path[i] == kPathDelim) length = i + 1;
    }
    return length;
}

TOutputPathState TOutputTree::Inspect(const std::string& path) const {
    if (!Contains(path)) return TOutputPathState::opsRefused;
    std::string step;
    for (std::size_t next = path.find(kPathDelim, VerifiedLength(path));; next = path.find(kPathDelim, next + 1)) {
        step.assign(path, 0, next);
        struct stat status {};
        if (::lstat(step.c_str(), &status) != 0) return TOutputPathState::opsMissing;  // nothing further exists yet
        // A link named as the output itself is replaced; one passed through (or named as a folder) is not.
        if (S_ISLNK(status.st_mode))
            return next == std::string::npos ? TOutputPathState::opsLink : TOutputPathState::opsRefused;
        if (next == std::string::npos || next + 1 == path.size())
            return S_ISDIR(status.st_mode) ? TOutputPathState::opsFolder : TOutputPathState::opsFile;
    }
}

bool TOutputTree::WayInside(const std::string& path) const {
    if (!Contains(path)) return false;
    const std::string folder = path.substr(0, path.rfind(kPathDelim) + 1);
    // The base itself, and the folder verified last (where the entries before went), need no look either.
    if (folder.size() <= base_.size() || VerifiedLength(folder) == folder.size()) return true;
    return Inspect(folder) != TOutputPathState::opsRefused;
}

bool TOutputTree::MakeFolder(const std::string& folder) {
    if (folder != base_ && (!Contains(folder) || folder.back() != kPathDelim)) return false;
    if (!base_made_) {
        // The destination itself, and the folders leading to it, are the caller's choice.
        if (!ForceDirectories(base_)) return false;
        base_made_ = true;
    }
    const std::size_t done = VerifiedLength(folder);
    if (done == folder.size()) return true;
    std::string step;
    for (std::size_t next = folder.find(kPathDelim, done); next != std::string::npos;
         next = folder.find(kPathDelim, next + 1)) {
        step.assign(folder, 0, next);
        if (::mkdir(step.c_str(), 0777) != 0) {
            struct stat status {};
            if (errno != EEXIST || ::lstat(step.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return false;
        }
    }
    verified_ = folder;
    return true;
}

}  // namespace kv::platform
