#pragma once

#include <string>

namespace kv::platform {

// A private folder (mode 0700) for every temporary file of this process: made under the temporary
// directory and named as the temporary directory ($TMPDIR) for the rest of the run, so that the engine
// and the engine libraries, which each ask for the temporary directory, all write below it. Removed with
// all it holds when the object goes, or when the process is ended by SIGINT, SIGTERM or SIGHUP.
class TProcessTempFolder {
public:
    TProcessTempFolder();
    ~TProcessTempFolder();
    TProcessTempFolder(const TProcessTempFolder&) = delete;
    TProcessTempFolder& operator=(const TProcessTempFolder&) = delete;

    // Empty when the folder could not be made (the temporary directory is then used as it is).
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::string previous_tmpdir_;
    bool had_tmpdir_ = false;
};

// Makes SIGINT, SIGTERM and SIGHUP remove `folder` before they end the process as they normally would.
// Call before any other thread starts: the signals are then taken by one thread of their own, so the
// removal runs as ordinary code rather than inside a signal handler.
void RemoveOnTerminationSignals(const std::string& folder);

}  // namespace kv::platform
