#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/core/date_time.h"

namespace kv {

// A moment to the nanosecond: seconds since 1970 UTC (negative before) and the part of a second.
struct TPreciseTime {
    std::int64_t Seconds = 0;
    std::uint32_t Nanoseconds = 0;
    bool operator==(const TPreciseTime&) const = default;
};

// One entry as every format reports it to the rest of the system.
struct TEntryRecord {
    std::string FileName;            // stored name after conversion; platform::kPathDelim separates folders
    TDateTime FileDate = 0;          // modification date
    std::int64_t PackedSize = 0;     // bytes in the archive, without a 12-byte cipher header
    std::int64_t UnpackedSize = 0;   // original size
    std::uint32_t FileCRC = 0;       // stored checksum (CRC-32, CRC-16 in the low half, or 0)
    bool Encrypted = false;          // the data is enciphered
    std::uint8_t CompressMethod = 0; // the format's own method number
    std::string CompressMethodName;
    std::uint32_t ExternalAttr = 0;  // attributes as stored; bit 4 marks a directory
    std::uint16_t VersionMadeBy = 0;
    std::uint16_t VersionNeeded = 0;
    std::uint8_t Ratio = 0;          // 0..100
    std::string FileComment;         // ZIP and ZOO only, cut to 32 767 characters
    std::uint16_t Flags = 0;         // general-purpose flags where the format has them (bit 0: enciphered)
    std::int64_t HeaderOffset = 0;   // where the entry's header lies in the archive
    // The modification time when the archive holds it more precisely than FileDate can (ZIP UT and NTFS
    // extras, TAR seconds and pax fractions, dates outside the MS-DOS range); extraction prefers it.
    std::optional<TPreciseTime> ModTime;
};

}  // namespace kv
