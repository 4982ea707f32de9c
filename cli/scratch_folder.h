#pragma once

#include <string>

namespace kv::cli {

// A fresh private folder under the temporary directory ($TMPDIR or /tmp), removed with all it holds when
// the object goes.
class TScratchFolder {
public:
    TScratchFolder();
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    // With a trailing delimiter; empty when the folder could not be made.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace kv::cli
