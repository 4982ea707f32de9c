#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/stream32.h"

namespace kv {

// The cabinet header (CFHEADER) with its folder table, as far as listing needs it.
struct TCabHeader {
    std::uint8_t VersionMinor = 0;
    std::uint8_t VersionMajor = 0;
    std::uint16_t Flags = 0;
    std::uint16_t FileCount = 0;
    std::uint32_t FilesOffset = 0;            // from the cabinet's start
    std::vector<std::uint16_t> FolderTypes;   // compression type of each folder
    std::string NextCabinet;                  // empty unless the set continues
};

inline constexpr std::uint16_t kCabHasPrevious = 0x0001;
inline constexpr std::uint16_t kCabHasNext = 0x0002;
inline constexpr std::uint16_t kCabHasReserve = 0x0004;

// Folder indexes of files whose data crosses a cabinet border.
inline constexpr std::uint16_t kCabFolderFromPrevious = 0xFFFD;
inline constexpr std::uint16_t kCabFolderIntoNext = 0xFFFE;
inline constexpr std::uint16_t kCabFolderPreviousAndNext = 0xFFFF;

// A file record (CFFILE): 16 bytes, then the name up to its zero byte.
inline constexpr std::size_t kCabFileRecordSize = 16;
// Names, including their zero byte, are at most this long.
inline constexpr std::size_t kCabMaxName = 256;
inline constexpr std::uint16_t kCabNameIsUtf8 = 0x80;

// Reads the header of the cabinet that starts at `base` of a stream of `size` bytes; nothing when it is
// not a cabinet header or does not fit in the file.
std::optional<TCabHeader> ReadCabHeader(TStream32& stream, std::int64_t base, std::int64_t size);

// The folder a file's data lies in, by its folder index; nothing for an index that names no folder.
std::optional<std::uint16_t> CabFolderType(const TCabHeader& header, std::uint16_t folder_index);

}  // namespace kv
