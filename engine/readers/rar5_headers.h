#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kv {

class TArcLister;

// RAR 5 archives start with this signature; their block headers are built of variable-length numbers.
inline constexpr std::size_t kRar5SignatureSize = 8;
inline constexpr std::uint8_t kRar5Signature[kRar5SignatureSize] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00};

inline constexpr std::uint64_t kRar5MainBlock = 1;
inline constexpr std::uint64_t kRar5FileBlock = 2;
inline constexpr std::uint64_t kRar5ServiceBlock = 3;
inline constexpr std::uint64_t kRar5EncryptionBlock = 4;
inline constexpr std::uint64_t kRar5EndBlock = 5;

// Reads one variable-length number (7 bits a byte, low groups first) at `pos`, moving `pos` past it;
// nothing when it runs past the end or beyond 64 bits.
std::optional<std::uint64_t> ReadRar5Number(std::span<const std::uint8_t> bytes, std::size_t& pos);

// The common part of a block: header CRC (4), header size, then the header of that size.
struct TRar5Block {
    std::uint64_t Type = 0;
    std::uint64_t Flags = 0;
    std::uint64_t ExtraSize = 0;
    std::uint64_t DataSize = 0;
    std::size_t FieldsAt = 0;  // where the type's own fields start, counted from the header's start
    std::size_t ExtraAt = 0;   // where the extra area starts
    std::size_t HeaderEnd = 0; // bytes from the block's start to its data area
};

inline constexpr std::uint64_t kRar5HasExtra = 0x0001;
inline constexpr std::uint64_t kRar5HasData = 0x0002;
inline constexpr std::uint64_t kRar5DataFromPrevious = 0x0008;
inline constexpr std::uint64_t kRar5DataIntoNext = 0x0010;

// Where a block's header ends, from its first bytes (CRC and header size); nothing when the size is
// unreadable or larger than a header may be.
std::optional<std::size_t> Rar5HeaderEnd(std::span<const std::uint8_t> first_bytes);
// Parses the common part of a whole block header (HeaderEnd bytes).
std::optional<TRar5Block> ParseRar5Block(std::span<const std::uint8_t> header);

// The fields of a file or service header the engine uses.
struct TRar5FileHeader {
    bool Directory = false;
    std::optional<std::uint32_t> UnixMTime;
    std::optional<std::uint64_t> FileTimeMTime;  // Windows file time from the extra area
    std::int64_t UnpackedSize = 0;
    std::uint64_t Attributes = 0;
    std::uint32_t DataCrc = 0;
    std::uint8_t Method = 0;      // 0 to 5
    std::uint8_t Version = 0;     // of the compression algorithm
    std::uint64_t HostOs = 0;     // 0 Windows, 1 Unix
    std::string Name;             // UTF-8
    bool Encrypted = false;
    // MS-DOS attribute bits: entries made on Unix give 16 for directories and 32 for the rest.
    std::uint32_t DosAttributes() const;
};

std::optional<TRar5FileHeader> ParseRar5FileHeader(std::span<const std::uint8_t> header, const TRar5Block& block);

// Lists a RAR 5 archive whose signature stands at the lister's start offset.
void ListRar5(TArcLister& lister);

}  // namespace kv
