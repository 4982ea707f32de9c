#pragma once

#include <cstdint>
#include <string>

#include "engine/core/stream32.h"
#include "engine/core/zip_end_records.h"

namespace kv {

// The end-of-central-directory record of a ZIP file, with the ZIP64 values applied where the archive
// carries a ZIP64 locator and end record.
struct TZipEndRecord : TZipEndValues {
    std::int64_t Position = -1;  // file offset of the end record's signature
    std::int64_t FileSize = 0;
    std::string Comment;              // raw bytes
    bool FirstVolume = false;         // the file starts with the spanning marker and a local header
    std::int64_t Zip64Position = -1;  // where the ZIP64 end record lies
    std::int64_t TrailingBytes = 0;   // bytes after the comment (the record then was found further back)
    bool TrailingIsPadding = false;   // fewer than 512 of them, all below "/"

    // Where the central directory lies if the stored size is right: it ends where the end records begin.
    // -1 when the size is larger than what lies before them.
    std::int64_t ComputedCentralOffset() const {
        const std::int64_t end = Zip64 ? Zip64Position : Position;
        return CentralSize > static_cast<std::uint64_t>(end) ? -1 : end - static_cast<std::int64_t>(CentralSize);
    }
};

enum class TEndRecordSearch { Found, NotFound, SeekFailed, ScanSeekFailed, ScanReadFailed };

// Looks for the end record: one read of the last 22 bytes, then a single block of at most 65557 bytes
// scanned backwards. A record whose comment ends exactly at the end of the file wins; failing that, the
// last one whose comment ends before the end (with TrailingBytes set).
TEndRecordSearch FindZipEndRecord(TStream32& stream, TZipEndRecord& record);

}  // namespace kv
