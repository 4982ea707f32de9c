#pragma once

#include <cstdint>
#include <string>

namespace kv {

// One rename instruction: an entry name (or a folder, ending with the delimiter) and its new name, and
// an MS-DOS date-time for the entries it renames (0 keeps theirs).
struct ZipRenameRec {
    std::string OldName;
    std::string NewName;
    std::uint32_t NewDate = 0;
};

}  // namespace kv
