#pragma once

#include <string>

namespace kv::platform {

// Makes a symbolic link at `path` holding `target`, replacing a file or link already there (never a
// folder). The target is stored as given: callers decide whether it may be followed.
bool MakeSymbolicLink(const std::string& target, const std::string& path);
// Makes `path` a second name of the file `existing`, replacing a file or link already there (never a folder).
bool MakeHardLink(const std::string& existing, const std::string& path);

}  // namespace kv::platform
