#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kv {

// ACE 1.0 and 2.0 headers: CRC (2), size of the rest (2), type (1), flags (2), then the type's fields.
inline constexpr std::size_t kAceMainHeaderFixed = 31;
inline constexpr std::size_t kAceFileHeaderFixed = 35;
inline constexpr std::size_t kAceSizeFieldsSize = 4;  // CRC and size: the size does not count them

inline constexpr std::uint8_t kAceMainBlock = 0;
inline constexpr std::uint8_t kAceFileBlock = 1;

inline constexpr std::uint16_t kAceAddSize = 0x0001;
inline constexpr std::uint16_t kAceFileEncrypted = 0x4000;

struct TAceMainHeader {
    std::uint16_t HeaderSize = 0;  // after the CRC and size fields
    std::uint8_t VersionCreated = 0;
};

struct TAceFileHeader {
    std::uint16_t HeaderSize = 0;
    std::uint16_t Flags = 0;
    std::int64_t PackedSize = 0;   // the data behind the header (ADDSIZE flag)
    std::int64_t OriginalSize = 0;
    std::uint32_t DosTime = 0;
    std::uint32_t Attributes = 0;
    std::uint32_t Crc32 = 0;       // the finished CRC-32 of the data (the header keeps its complement)
    std::uint8_t CompressionType = 0;
    std::uint8_t Quality = 0;      // 1 fastest to 5 best; 0 for stored entries
    std::uint16_t NameSize = 0;
    std::string Name;              // as stored (OEM, "\" between folders)
};

// Parses the fixed part of a main header; nothing when it is not one.
std::optional<TAceMainHeader> ParseAceMainHeader(std::span<const std::uint8_t> fixed);
// Parses the fixed part of a file header (type 1); nothing when it is another type or its name cannot
// fit in its header. The name is left empty: it follows the fixed part.
std::optional<TAceFileHeader> ParseAceFileHeader(std::span<const std::uint8_t> fixed);

}  // namespace kv
