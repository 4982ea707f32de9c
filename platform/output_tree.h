#pragma once

#include <string>

namespace kv::platform {

// What lies at an output path below the extraction folder.
// opsLink is a symbolic link as the last step: an output replaces it (by rename), never writes through it.
enum class TOutputPathState { opsRefused, opsMissing, opsFile, opsFolder, opsLink };

// The extraction folder and the folders below it that the running operation has made or found to be real
// folders. A folder below the extraction folder that is a symbolic link would carry the output elsewhere
// (the archive cannot make one, but an earlier program may have); every step of a path is therefore looked
// at once, and only the steps beyond the folders already verified are looked at again. The state is one
// path: entries usually come folder by folder, and every folder above a verified one is verified too.
class TOutputTree {
public:
    // Starts over below `base` (with its trailing delimiter) when that is not the current one.
    void SetBase(const std::string& base);
    // Starts over below the same base: what was verified may have changed since.
    void Forget();
    // The extraction folder, with its trailing delimiter.
    const std::string& Base() const { return base_; }

    // Whether `path` lies below the base.
    bool Contains(const std::string& path) const;
    // opsRefused when `path` is not below the base or passes through a symbolic link; otherwise whether a
    // file, a folder, a symbolic link or nothing is there. Parts of the path that do not exist yet are fine.
    TOutputPathState Inspect(const std::string& path) const;
    // Whether `path` is below the base and its way there passes through no symbolic link; what lies at
    // `path` itself is not looked at (a file written whatever is there needs no look).
    bool WayInside(const std::string& path) const;
    // Creates `folder` (with its trailing delimiter) and the missing folders above it; an existing step that
    // is not a real folder fails. True when the folder is there and verified.
    bool MakeFolder(const std::string& folder);

private:
    // The length of the part of `path` known to be verified: a whole-step prefix of verified_.
    std::size_t VerifiedLength(const std::string& path) const;

    std::string base_;
    std::string verified_;  // base_ or a folder below it, with its trailing delimiter
    bool base_made_ = false;
};

}  // namespace kv::platform
