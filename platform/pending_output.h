#pragma once

#include <functional>
#include <string>

namespace kv::platform {

// An output that replaces whatever bears its final name only on Commit, so that a failed, cancelled or
// refused entry never harms a file that was already there. Where the final name is free, the output is
// created under it at once (exclusively, so it is this object's own); otherwise under a temporary name
// (".NAME.kvXXXXXX", created exclusively) in the same folder, which takes the old file's place on Commit.
// This keeps the rename, which costs about as much as creating the file, to the files that replace others.
// Anything not committed is removed by the name this object created.
class TPendingOutput {
public:
    TPendingOutput() = default;
    TPendingOutput(const TPendingOutput&) = delete;
    TPendingOutput& operator=(const TPendingOutput&) = delete;
    ~TPendingOutput() { Discard(); }

    // A new empty file (permissions as the umask allows) for `final_path`: its open read-write
    // descriptor, which the caller owns, or -1 with errno set.
    int CreateFile(const std::string& final_path);
    // A symbolic link holding `target` (stored as given) for `final_path`.
    bool CreateSymbolicLink(const std::string& target, const std::string& final_path);
    // A second name of the file `existing` for `final_path`.
    bool CreateHardLink(const std::string& existing, const std::string& final_path);

    // Whether an output waits for Commit or Discard.
    bool Active() const { return !temp_.empty(); }
    // Where the waiting output is, for giving it its time and permissions before it is committed.
    const std::string& TempPath() const { return temp_; }
    // Whether it waits under its final name (which was free).
    bool InPlace() const { return Active() && temp_ == final_; }
    // Gives the output its final name, in place of the file that bore it; false (and the output removed)
    // when the system refuses, for instance when a folder bears that name.
    bool Commit();
    // Gives the output its final name only when nothing bears that name; otherwise removes it.
    bool CommitIfFree();
    void Discard();

private:
    // Runs `make` on the final name, then, while the name taken exists, on fresh temporary names; `make`
    // returns -1 with errno on failure.
    bool Create(const std::string& final_path, const std::function<int(const std::string& temp)>& make);

    std::string temp_;
    std::string final_;
};

}  // namespace kv::platform
