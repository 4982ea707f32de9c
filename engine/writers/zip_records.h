#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/zip_cipher.h"

namespace kv {

inline constexpr std::uint16_t kZipMethodStored = 0;
inline constexpr std::uint16_t kZipMethodDeflated = 8;
inline constexpr std::uint16_t kZipMethodBzip2 = 12;
inline constexpr std::uint16_t kZipHostUnix = 3;
inline constexpr std::uint16_t kZipVersionDefault = 20;  // deflate, folders, the classic cipher
inline constexpr std::uint16_t kZipVersionZip64 = 45;
inline constexpr std::uint16_t kZipVersionAes = 51;
// The largest value a 32-bit field holds itself; this and above go into the ZIP64 extra field.
inline constexpr std::uint64_t kZip32Limit = 0xFFFFFFFFu;
inline constexpr std::uint64_t kZip16Limit = 0xFFFFu;

// One entry as the writer puts it into the local and the central header. Extra fields never hold the
// ZIP64 field: the record functions add it where a value needs it.
struct TZipRecordEntry {
    std::string StoredName;  // the bytes of the name as stored
    std::uint16_t VersionMadeBy = kZipHostUnix << 8 | kZipVersionDefault;
    std::uint16_t VersionNeeded = kZipVersionDefault;
    std::uint16_t Flags = 0;
    std::uint16_t Method = kZipMethodStored;
    std::uint32_t DosDateTime = 0;  // date in the high half
    std::uint32_t Crc = 0;
    std::uint64_t PackedSize = 0;
    std::uint64_t UnpackedSize = 0;
    std::uint64_t LocalOffset = 0;
    std::uint16_t InternalAttr = 0;
    std::uint32_t ExternalAttr = 0;  // Unix mode in the high half, MS-DOS attributes in the low
    std::vector<std::uint8_t> LocalExtra;
    std::vector<std::uint8_t> CentralExtra;
    std::string Comment;
};

// The local header. With `zip64_sizes` the sizes go into a ZIP64 field (sizes of an entry still being
// written may pass 4 GiB); the header's length does not depend on the values, so it can be written again
// over itself once they are known.
void AppendLocalHeader(std::vector<std::uint8_t>& out, const TZipRecordEntry& entry, bool zip64_sizes);
std::size_t LocalHeaderSize(const TZipRecordEntry& entry, bool zip64_sizes);
// Whether an entry of that size needs ZIP64 sizes in its local header (room left for a cipher's bytes).
bool NeedsZip64Sizes(std::uint64_t unpacked_size);
// The data descriptor (with its signature) that follows the data of an entry with flag bit 3.
void AppendDataDescriptor(std::vector<std::uint8_t>& out, const TZipRecordEntry& entry, bool zip64_sizes);
void AppendCentralHeader(std::vector<std::uint8_t>& out, const TZipRecordEntry& entry);
std::size_t CentralHeaderSize(const TZipRecordEntry& entry);
// The end of the archive: the ZIP64 end record and its locator when the count, size or offset needs
// them, then the end record with the archive comment (cut at 65 535 bytes).
void AppendEndRecords(std::vector<std::uint8_t>& out, std::uint64_t entry_count, std::uint64_t central_offset,
                      std::uint64_t central_size, const std::string& comment);

// Hides a local or central header (`size` bytes from its signature to the end of its extra field): the
// signature becomes "PL" and the rest is enciphered with keys started from `seed`.
void EncipherHeaderRecord(std::uint8_t* record, std::size_t size, const TSeedKeyRecord& seed);

// Removes the ZIP64 field (0x0001) from extra data read from an archive; the writer adds its own.
std::vector<std::uint8_t> WithoutZip64Field(const std::uint8_t* extra, std::size_t size);

}  // namespace kv
