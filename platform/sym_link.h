#pragma once

#include <sys/stat.h>

#include <functional>
#include <optional>
#include <string>

namespace kv::platform {

// The target text of a symbolic link as it is stored in the link (not resolved); nothing when `path` is no
// link or cannot be read (errno tells why).
std::optional<std::string> ReadSymLink(const std::string& path);

// Tells whether a folder (device, inode) is being walked.
using TWalkingTest = std::function<bool(dev_t device, ino_t inode)>;

// The status of what the link at `path` leads to, when a walk that follows links is to take that instead of
// the link: nothing when it leads nowhere, or to a folder `walking` names (following it would never end).
std::optional<struct stat> FollowedLink(const std::string& path, const TWalkingTest& walking);

}  // namespace kv::platform
