#pragma once

#include <string>

namespace kv::platform {

// Whether files can be created in the folder: a temporary file is created and removed again, or, for
// a folder that does not exist yet, the folder itself (with missing parents) is created and removed.
bool IsWritableDirectory(const std::string& dir);

// Creates the folder and all missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& dir);

}  // namespace kv::platform
