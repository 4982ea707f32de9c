#pragma once

#include <cstdint>
#include <string>

#include "engine/core/date_time.h"

namespace kv::facade {

// One entry of the open archive as the facade and its views see it, whatever the archive's type.
struct TArcEntry {
    TDateTime DateTime = 0;
    std::int32_t CRC = 0;
    std::int64_t PackedSize = 0;
    std::int64_t Size = 0;
    std::uint32_t Attributes = 0;  // MS-DOS attribute bits
    std::string FileName;          // path inside the archive, the path delimiter between folders, none in front
    std::string Comment;           // in a view's pseudo rows: "spDir" or "spUpDir"
    bool Encrypted = false;
    std::uint8_t Ratio = 0;  // percent saved
};

}  // namespace kv::facade
