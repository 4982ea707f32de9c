#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/core/header_reader.h"
#include "engine/core/oem_names.h"

namespace kv {

// One LHA header of level 0 to 3 as stored, with the name put together from its parts.
struct TLhaHeader {
    int Level = 0;
    std::string Method;              // the five characters, e.g. "-lh5-"
    std::int64_t PackedSize = 0;     // data bytes only (level 1 extended headers excluded)
    std::int64_t OriginalSize = 0;
    std::uint32_t Time = 0;          // MS-DOS date/time for levels 0 and 1, Unix time for levels 2 and 3
    std::uint8_t Attribute = 0;
    std::uint16_t Crc16 = 0;
    std::uint8_t Os = 0;             // 0 when the header has no OS byte
    std::string Name;                // stored bytes; folders separated by "/" where the header used 0xFF
    bool UnicodeName = false;        // Name is UTF-8, made from the UTF-16 name headers
    std::optional<std::uint16_t> UnixMode;   // from a Unix permission header
    std::optional<std::uint32_t> UnixTime;   // from a Unix time header (any level)
    std::int64_t DataOffset = 0;     // where the entry's data start
    std::int64_t NextOffset = 0;     // where the next header starts

    bool IsDirectory() const { return Method == "-lhd-"; }
    bool HasUnixTime() const { return Level >= 2; }
    // The time as seconds since 1970 when the header keeps one (a level 2 or 3 header, a Unix time header).
    std::optional<std::int64_t> UnixSeconds() const {
        if (UnixTime) return *UnixTime;
        if (HasUnixTime()) return Time;
        return std::nullopt;
    }
    bool IsSymbolicLink() const { return UnixMode && (*UnixMode & 0170000) == 0120000; }
    // Headers without an OS byte, and those of MS-DOS, OS/2 and Windows ("M", "2", "w", "W"), hold OEM
    // names; other systems wrote their own bytes.
    TNameOrigin NameOrigin() const {
        if (UnicodeName) return TNameOrigin::noUnicode;
        const bool dos = Os == 0 || Os == 'M' || Os == '2' || Os == 'w' || Os == 'W';
        return dos ? TNameOrigin::noDos : TNameOrigin::noOther;
    }
};

// Reads the header at `offset` of an LHA archive. Nothing at the end of the archive (a zero size byte, a
// level above 3) or when the header does not fit its own fields or the file.
std::optional<TLhaHeader> ReadLhaHeader(THeaderReader& archive, std::int64_t offset);

// Whether a walk that found no header at `offset` met the archive's end rather than a damaged header:
// the end of the file, or the zero byte that ends an archive.
bool IsLhaArchiveEnd(THeaderReader& archive, std::int64_t offset);

}  // namespace kv
