#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/core/header_reader.h"
#include "engine/core/oem_names.h"

namespace kv {

// One LHA header of level 0, 1 or 2 as stored, with the name put together from its parts.
struct TLhaHeader {
    int Level = 0;
    std::string Method;              // the five characters, e.g. "-lh5-"
    std::int64_t PackedSize = 0;     // data bytes only (level 1 extended headers excluded)
    std::int64_t OriginalSize = 0;
    std::uint32_t Time = 0;          // MS-DOS date/time for levels 0 and 1, Unix time for level 2
    std::uint8_t Attribute = 0;
    std::uint16_t Crc16 = 0;
    std::uint8_t Os = 0;             // 0 when the header has no OS byte
    std::string Name;                // stored bytes; folders separated by "/" where the header used 0xFF
    std::int64_t DataOffset = 0;     // where the entry's data start
    std::int64_t NextOffset = 0;     // where the next header starts

    bool IsDirectory() const { return Method == "-lhd-"; }
    bool HasUnixTime() const { return Level == 2; }
    // Headers without an OS byte, and those of MS-DOS, OS/2 and Windows ("M", "2", "w", "W"), hold OEM
    // names; other systems wrote their own bytes.
    TNameOrigin NameOrigin() const {
        const bool dos = Os == 0 || Os == 'M' || Os == '2' || Os == 'w' || Os == 'W';
        return dos ? TNameOrigin::noDos : TNameOrigin::noOther;
    }
};

// Reads the header at `offset` of an LHA archive. Nothing at the end of the archive (a zero size byte, a
// level above 2) or when the header does not fit its own fields or the file.
std::optional<TLhaHeader> ReadLhaHeader(THeaderReader& archive, std::int64_t offset);

}  // namespace kv
