#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/core/arc_detect.h"
#include "engine/core/stream32.h"

namespace kv {

inline constexpr std::int64_t kZipEndRecordSize = 22;
inline constexpr std::int64_t kZipWideEndRecordSize = 26;  // the end record with an 8-byte directory offset
inline constexpr std::int64_t kZip64LocatorSize = 20;
inline constexpr std::int64_t kZip64EndRecordSize = 56;
inline constexpr std::int64_t kZipMaxCommentLength = 65535;

// What the end records say about the central directory: the end record's values, replaced by the ZIP64
// end record's where the archive has one (a count of 0xFFFF without one is a real 65 535).
struct TZipEndValues {
    std::uint32_t ThisDisk = 0;     // number of this disk
    std::uint32_t CentralDisk = 0;  // disk where the central directory starts
    std::uint64_t EntriesOnDisk = 0;
    std::uint64_t TotalEntries = 0;
    std::uint64_t CentralSize = 0;
    std::uint64_t CentralOffset = 0;  // as stored
    std::uint16_t CommentLength = 0;
    bool Zip64 = false;
};

// The values of a plain (deciphered) end record of `size` bytes: 22, or 26 for the wide form.
TZipEndValues ZipEndValues(const std::uint8_t* record, std::size_t size);

// The ZIP64 records that belong to the end record at `end_position`.
struct TZip64Records {
    bool HasLocator = false;
    std::int64_t RecordPosition = -1;  // -1: no usable ZIP64 end record
    std::array<std::uint8_t, kZip64LocatorSize> Locator{};
    std::array<std::uint8_t, kZip64EndRecordSize> Record{};
};

// Looks for a ZIP64 locator right before the end record and for the ZIP64 end record it names. The locator
// counts from the start of the ZIP data, so behind a stub its offset falls short: the record is then taken
// from just before the locator. A record whose directory size or offset lies beyond the file is not used.
TZip64Records FindZip64Records(TStream32& stream, std::int64_t end_position);

// Replaces the end record's values by those of a ZIP64 end record (56 bytes from its signature).
void ApplyZip64EndRecord(const std::uint8_t* record, TZipEndValues& values);

// The end values detection found: its copy of the end record with the ZIP64 end record applied.
TZipEndValues ZipEndValuesOf(const TArcDetection& detection);

}  // namespace kv
