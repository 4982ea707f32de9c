#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kv {

// Block headers of RAR archives of versions 1.5 to 4: every block starts with CRC (2), type (1),
// flags (2) and header size (2); blocks with the long-block flag add a 4-byte size of data behind
// the header.
inline constexpr std::size_t kRarMarkerSize = 7;
inline constexpr std::uint8_t kRarMarker[kRarMarkerSize] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
inline constexpr std::size_t kRarBlockPrefix = 7;
inline constexpr std::size_t kRarMainHeaderSize = 13;
inline constexpr std::size_t kRarFileHeaderFixed = 32;

inline constexpr std::uint8_t kRarMainBlock = 0x73;
inline constexpr std::uint8_t kRarFileBlock = 0x74;
inline constexpr std::uint8_t kRarCommentBlock = 0x75;
inline constexpr std::uint8_t kRarEndBlock = 0x7B;

inline constexpr std::uint16_t kRarMainEncryptedHeaders = 0x0080;

inline constexpr std::uint16_t kRarFileContinuedFromPrevious = 0x0001;
inline constexpr std::uint16_t kRarFileContinuedInNext = 0x0002;
inline constexpr std::uint16_t kRarFileEncrypted = 0x0004;
inline constexpr std::uint16_t kRarFileHighSizes = 0x0100;
inline constexpr std::uint16_t kRarFileUnicodeName = 0x0200;
inline constexpr std::uint16_t kRarSkipIfUnknown = 0x4000;
inline constexpr std::uint16_t kRarLongBlock = 0x8000;

inline constexpr std::uint8_t kRarHostUnix = 3;

// The part every block header starts with.
struct TRarBlockPrefix {
    std::uint8_t Type = 0;
    std::uint16_t Flags = 0;
    std::uint16_t HeaderSize = 0;
    std::uint32_t AddedSize = 0;  // with the long-block flag, when the header holds it
};

// Reads the common part from at least kRarBlockPrefix bytes; nothing when the header size cannot hold it.
std::optional<TRarBlockPrefix> ParseRarBlockPrefix(std::span<const std::uint8_t> bytes);

// The fields of a file header (type 0x74) the engine uses.
struct TRarFileHeader {
    std::uint16_t Flags = 0;
    std::uint16_t HeaderSize = 0;
    std::int64_t PackedSize = 0;
    std::int64_t UnpackedSize = 0;
    std::uint8_t HostOs = 0;
    std::uint32_t FileCrc = 0;
    std::uint32_t DosTime = 0;
    std::uint8_t UnpackVersion = 0;
    std::uint8_t Method = 0;        // '0' to '5'
    std::uint32_t Attributes = 0;   // as stored
    std::string Name;               // the name field as stored (OEM bytes, or UTF-8 when NameIsUtf8)
    bool NameIsUtf8 = false;        // a decoded Unicode name, or a UTF-8 name from Unix

    bool IsDirectory() const;
    // MS-DOS attribute bits: entries made on Unix give 16 for directories and 32 for the rest.
    std::uint32_t DosAttributes() const;
};

// Parses a whole file header (its HeaderSize bytes); nothing when its fields do not fit in it.
std::optional<TRarFileHeader> ParseRarFileHeader(std::span<const std::uint8_t> header);

// Decodes the name field of a header with the Unicode flag to UTF-8: the OEM name, a zero byte and the
// packed UTF-16 form; a field without the zero byte holds UTF-8 already.
std::string DecodeRarUnicodeName(std::span<const std::uint8_t> field);

}  // namespace kv
