#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace kv::test {

// Runs `work` in a forked child process and returns at once with its id; `work` gives the exit status.
inline pid_t StartChild(const std::function<bool()>& work) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(work() ? 0 : 1);
    return child;
}

// True when the child ended normally with status 0.
inline bool ChildSucceeded(pid_t child) {
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kv::test
