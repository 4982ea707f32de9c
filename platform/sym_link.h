#pragma once

#include <optional>
#include <string>

namespace kv::platform {

// The target text of a symbolic link as it is stored in the link (not resolved); nothing when `path` is no
// link or cannot be read (errno tells why).
std::optional<std::string> ReadSymLink(const std::string& path);

}  // namespace kv::platform
