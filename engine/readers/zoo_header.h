#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/core/header_reader.h"
#include "engine/core/oem_names.h"

namespace kv {

// One live directory entry of a ZOO archive, as stored.
struct TZooEntry {
    std::int64_t HeaderAt = 0;
    std::int64_t DataAt = 0;
    std::uint8_t Method = 0;
    std::uint32_t DosDateTime = 0;  // time in the low word, as MS-DOS keeps it
    std::uint16_t Crc16 = 0;
    std::int64_t OriginalSize = 0;
    std::int64_t PackedSize = 0;
    std::uint8_t MajorVersion = 0;
    std::uint8_t MinorVersion = 0;
    std::string Name;     // stored bytes, the directory in front where the entry keeps one
    std::string Comment;  // stored bytes
    // The permissions a Unix zoo recorded, when it did.
    std::optional<std::uint32_t> UnixMode;
    // Written on Unix, as the entry's system id says; entries without one come from MS-DOS.
    bool FromUnix = false;

    TNameOrigin NameOrigin() const { return FromUnix ? TNameOrigin::noOther : TNameOrigin::noDos; }
};

enum class TZooWalkEnd {
    zwEnd,         // the entry that ends the directory was reached
    zwStopped,     // the visitor asked to stop
    zwBadHeader,   // the archive header, or an entry's tag or next-entry offset, is not sound
    zwTruncated,   // the file ends before the directory does
};

// Walks the directory of the ZOO archive at `start` (its archive header), handing each entry that is not
// marked deleted to `visit` in archive order; `visit` returns false to stop. Reading only what `archive`
// allows, and never going back, the walk always ends.
TZooWalkEnd WalkZoo(THeaderReader& archive, std::int64_t start, const std::function<bool(const TZooEntry&)>& visit);

// The error a walk that stopped before the end of the directory reports: 0 for one that did not.
int ZooWalkError(TZooWalkEnd end);

}  // namespace kv
