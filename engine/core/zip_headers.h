#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/entry_enums.h"
#include "engine/core/entry_record.h"
#include "engine/core/oem_names.h"

namespace kv {

inline constexpr std::size_t kZipLocalHeaderSize = 30;
inline constexpr std::size_t kZipCentralHeaderSize = 46;
inline constexpr std::uint32_t kZipSaturated32 = 0xFFFFFFFFu;  // "the real value is in the ZIP64 field"
inline constexpr std::uint16_t kZipFlagEnciphered = 0x0001;
inline constexpr std::uint16_t kZipFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kZipFlagStrongEncryption = 0x0040;
inline constexpr std::uint16_t kZipFlagUtf8 = 0x0800;

// A ZIP record signature: "P", then "K"/"M" (plain) or "L"/"N" (enciphered with the header keys),
// then the record's two bytes (03 04 local, 01 02 central, 05 06 end, 07 08 data descriptor).
bool IsZipRecord(const std::uint8_t* p, std::uint8_t third, std::uint8_t fourth);
bool IsEncipheredZipRecord(const std::uint8_t* p);

// How a ZIP entry's name bytes are to be read: declared UTF-8 (flag bit 11, or a Unicode-path field whose
// checksum matches), else by the "made by" host: MS-DOS, OS/2 HPFS, NTFS and VFAT (0, 6, 11, 14) wrote the
// OEM code page, every other host is taken as UTF-8 when the bytes are valid UTF-8. `host` is empty where
// the header names none (a local header).
TNameOrigin ZipNameOrigin(bool declared_utf8, std::optional<std::uint8_t> host);

// One entry's header, local or central, with the ZIP64 values and the extra fields applied.
struct TZipEntryHeader {
    std::uint16_t VersionMadeBy = 0;  // central headers only
    std::uint16_t VersionNeeded = 0;
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint32_t DosDateTime = 0;  // date in the high half
    std::uint32_t Crc = 0;
    std::uint64_t PackedSize = 0;
    std::uint64_t UnpackedSize = 0;
    std::uint16_t NameLength = 0;
    std::uint16_t ExtraLength = 0;
    std::uint16_t CommentLength = 0;  // central headers only
    std::uint32_t DiskStart = 0;      // central headers only
    std::uint16_t InternalAttr = 0;   // central headers only
    std::uint32_t ExternalAttr = 0;   // central headers only
    std::uint64_t LocalOffset = 0;    // central headers only
    // Local headers: the fixed part saturated a size, so a data descriptor holds 8-byte sizes.
    bool Zip64Sizes = false;
    bool Central = false;  // read from a central header, which names the host that made the entry

    // From the extra fields.
    int AesMethod = -1;                // 0x9901: the real compression method of an AES entry
    std::uint16_t AesVendorVersion = 0;
    std::uint8_t AesStrength = 0;
    bool StrongEncryption = false;     // 0x0017
    bool HasUnicodeName = false;       // 0x7075 whose checksum matches the stored name
    std::string UnicodeName;
    std::optional<std::string> UnicodeComment;  // 0x6375 whose checksum matches the stored comment
    std::optional<std::uint32_t> UnixUid;       // 0x7875 (or a local 0x7855)
    std::optional<std::uint32_t> UnixGid;
    std::optional<TPreciseTime> NtfsModTime;  // 0x000a, to 100 ns
    std::optional<TPreciseTime> UnixModTime;  // 0x5455, to the second

    // The most precise modification time the extra fields hold: NTFS before UT, as 7-Zip reads them.
    std::optional<TPreciseTime> ModTime() const { return NtfsModTime ? NtfsModTime : UnixModTime; }

    bool Enciphered() const { return (Flags & kZipFlagEnciphered) != 0; }
    bool NameIsUtf8() const { return (Flags & kZipFlagUtf8) != 0 || HasUnicodeName; }
    TNameOrigin NameOrigin() const {
        return ZipNameOrigin(NameIsUtf8(), Central ? std::optional<std::uint8_t>(VersionMadeBy >> 8) : std::nullopt);
    }
    // The cipher the entry needs: none, the classic one, WinZip's AES (emAes1_* for AE-1, emAes2_* for AE-2),
    // or one the engine does not offer.
    TEncryptionMethod EncryptionMethod() const;
    bool IsAes() const;
    // The compression method of the data itself: the AES field's for an AES entry.
    std::uint16_t DataMethod() const { return IsAes() ? static_cast<std::uint16_t>(AesMethod) : Method; }
    // The bytes the header occupies with its variable parts.
    std::size_t VariableSize() const { return std::size_t{NameLength} + ExtraLength + CommentLength; }
};

// The fixed parts; `p` holds kZipCentralHeaderSize or kZipLocalHeaderSize bytes (signature first).
TZipEntryHeader ParseZipCentralHeader(const std::uint8_t* p);
TZipEntryHeader ParseZipLocalHeader(const std::uint8_t* p);

// Applies the extra fields that follow the name: ZIP64 sizes, offset and disk (0x0001), strong encryption
// (0x0017), AES (0x9901), the Unicode path and comment (0x7075 and 0x6375, each taken only when its checksum
// matches `stored_name` or `stored_comment`), the Unix owner (0x7875, 0x7855) and the modification times
// of the NTFS (0x000a) and extended timestamp (0x5455) fields.
// False when a field's length runs past the extra data: the header is inconsistent.
bool ReadZipExtraFields(const std::uint8_t* extra, std::size_t size, std::string_view stored_name, bool central,
                        TZipEntryHeader& header, std::string_view stored_comment = {});

// The modification time an extra field as stored holds (see TZipEntryHeader::ModTime).
std::optional<TPreciseTime> ZipExtraModTime(std::string_view extra);

// The name to show: the Unicode path when there is one, else the stored bytes.
inline std::string_view ZipEntryName(const TZipEntryHeader& header, std::string_view stored_name) {
    return header.HasUnicodeName ? std::string_view(header.UnicodeName) : stored_name;
}

}  // namespace kv
