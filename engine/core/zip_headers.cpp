#include "engine/core/zip_headers.h"

#include "engine/core/crc.h"
#include "engine/core/zip_aes.h"
#include "platform/byte_order.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;
using platform::LoadLE64;

constexpr std::uint16_t kZip64Field = 0x0001;
constexpr std::uint16_t kNtfsField = 0x000a;
constexpr std::uint16_t kExtendedTimestampField = 0x5455;
constexpr std::uint16_t kStrongEncryptionField = 0x0017;
constexpr std::uint16_t kAesField = 0x9901;
constexpr std::uint16_t kUnicodePathField = 0x7075;
constexpr std::uint16_t kUnicodeCommentField = 0x6375;
constexpr std::uint16_t kUnixOwnerField = 0x7875;
constexpr std::uint16_t kOldUnixOwnerField = 0x7855;
constexpr std::uint16_t kSaturated16 = 0xFFFF;

// The ZIP64 field lists only the values whose ordinary fields are saturated, in this order.
void ApplyZip64(const std::uint8_t* field, std::size_t size, bool central, TZipEntryHeader& header) {
    std::size_t at = 0;
    auto next64 = [&](std::uint64_t& value) {
        if (at + 8 > size) return;
        value = LoadLE64(field + at);
        at += 8;
    };
    if (header.UnpackedSize == kZipSaturated32) next64(header.UnpackedSize);
    if (header.PackedSize == kZipSaturated32) next64(header.PackedSize);
    if (!central) return;
    if (header.LocalOffset == kZipSaturated32) next64(header.LocalOffset);
    if (header.DiskStart == kSaturated16 && at + 4 <= size) header.DiskStart = LoadLE32(field + at);
}

void ApplyAes(const std::uint8_t* field, std::size_t size, TZipEntryHeader& header) {
    if (size < 7) return;
    header.AesVendorVersion = LoadLE16(field);
    header.AesStrength = field[4];
    header.AesMethod = LoadLE16(field + 5);
}

// Version 1, the CRC-32 of the text it replaces, then the text in UTF-8; nothing when the stored text
// was changed since (the checksum no longer matches).
std::optional<std::string> UnicodeText(const std::uint8_t* field, std::size_t size, std::string_view stored) {
    if (size <= 5 || field[0] != 1) return std::nullopt;
    if (LoadLE32(field + 1) != Crc32Of(stored.data(), stored.size())) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(field + 5), size - 5);
}

void ApplyUnicodePath(const std::uint8_t* field, std::size_t size, std::string_view stored_name,
                      TZipEntryHeader& header) {
    if (auto name = UnicodeText(field, size, stored_name)) {
        header.UnicodeName = std::move(*name);
        header.HasUnicodeName = true;
    }
}

// 0x7875: version 1, then the UID and GID, each behind its byte count (up to 4 bytes read here).
// 0x7855 in a local header: UID and GID as 16-bit values (the central one is empty).
std::optional<std::uint32_t> SizedValue(const std::uint8_t* field, std::size_t size, std::size_t& at) {
    if (at >= size) return std::nullopt;
    const std::size_t width = field[at++];
    if (width == 0 || width > 4 || width > size - at) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= std::uint32_t{field[at + i]} << (8 * i);
    at += width;
    return value;
}

void ApplyUnixOwner(std::uint16_t id, const std::uint8_t* field, std::size_t size, TZipEntryHeader& header) {
    if (id == kOldUnixOwnerField) {
        if (size < 4) return;
        header.UnixUid = LoadLE16(field);
        header.UnixGid = LoadLE16(field + 2);
        return;
    }
    if (size < 1 || field[0] != 1) return;
    std::size_t at = 1;
    const auto uid = SizedValue(field, size, at);
    const auto gid = SizedValue(field, size, at);
    if (!uid || !gid) return;
    header.UnixUid = uid;
    header.UnixGid = gid;
}

// Tag 1 of the NTFS field holds modification, access and creation time as FILETIMEs (100 ns since 1601),
// after four reserved bytes.
std::optional<TPreciseTime> NtfsModificationTime(const std::uint8_t* field, std::size_t size) {
    constexpr std::uint16_t kTimesTag = 1;
    constexpr std::int64_t kTicksPerSecond = 10'000'000;
    constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
    for (std::size_t at = 4; at + 4 <= size;) {
        const std::uint16_t tag = LoadLE16(field + at);
        const std::size_t length = LoadLE16(field + at + 2);
        at += 4;
        if (length > size - at) break;
        if (tag == kTimesTag && length >= 8) {
            const std::uint64_t ticks = LoadLE64(field + at);
            return TPreciseTime{static_cast<std::int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970,
                                static_cast<std::uint32_t>(ticks % kTicksPerSecond) * 100};
        }
        at += length;
    }
    return std::nullopt;
}

// A flags byte, then the times it names; bit 0 is the modification time, a signed 32-bit Unix time that
// comes first. Central headers hold only that one but keep the local flags.
std::optional<TPreciseTime> UnixModificationTime(const std::uint8_t* field, std::size_t size) {
    if (size < 5 || (field[0] & 0x01) == 0) return std::nullopt;
    return TPreciseTime{static_cast<std::int32_t>(LoadLE32(field + 1)), 0};
}

// Calls `apply(id, field, length)` for each field; false when a field's length runs past the extra data.
template <typename Apply>
bool WalkExtraFields(const std::uint8_t* extra, std::size_t size, Apply apply) {
    // Fewer than four bytes left cannot hold a field: some writers pad the extra data that way.
    for (std::size_t at = 0; at + 4 <= size;) {
        const std::uint16_t id = LoadLE16(extra + at);
        const std::size_t length = LoadLE16(extra + at + 2);
        at += 4;
        if (length > size - at) return false;
        apply(id, extra + at, length);
        at += length;
    }
    return true;
}

void ApplyTimes(std::uint16_t id, const std::uint8_t* field, std::size_t length, TZipEntryHeader& header) {
    if (id == kNtfsField) header.NtfsModTime = NtfsModificationTime(field, length);
    if (id == kExtendedTimestampField) header.UnixModTime = UnixModificationTime(field, length);
}

}  // namespace

TNameOrigin ZipNameOrigin(bool declared_utf8, std::optional<std::uint8_t> host) {
    constexpr std::uint8_t kMsDos = 0, kHpfs = 6, kNtfs = 11, kVfat = 14;
    if (declared_utf8) return TNameOrigin::noUnicode;
    if (host && (*host == kMsDos || *host == kHpfs || *host == kNtfs || *host == kVfat)) return TNameOrigin::noDos;
    return TNameOrigin::noOther;
}

bool IsZipRecord(const std::uint8_t* p, std::uint8_t third, std::uint8_t fourth) {
    return p[0] == 'P' && (p[1] == 'K' || p[1] == 'L' || p[1] == 'M' || p[1] == 'N') && p[2] == third &&
           p[3] == fourth;
}

bool IsEncipheredZipRecord(const std::uint8_t* p) { return p[1] == 'L' || p[1] == 'N'; }

TEncryptionMethod TZipEntryHeader::EncryptionMethod() const {
    if (!Enciphered()) return emNone;
    if (StrongEncryption || (Flags & kZipFlagStrongEncryption) != 0) return emUnsupported;
    if (AesMethod < 0) return emZip_V2;
    // WinZip's AES: method 99 with its extra field naming AE-1 or AE-2 and one of the three key lengths.
    if (Method != kAesMethod || AesStrength < 1 || AesStrength > 3 || AesVendorVersion < 1 || AesVendorVersion > 2)
        return emUnsupported;
    const int first = AesVendorVersion == 1 ? emAes1_128 : emAes2_128;
    return static_cast<TEncryptionMethod>(first + AesStrength - 1);
}

bool TZipEntryHeader::IsAes() const {
    const TEncryptionMethod method = EncryptionMethod();
    return method >= emAes1_128 && method <= emAes2_256;
}

TZipEntryHeader ParseZipCentralHeader(const std::uint8_t* p) {
    TZipEntryHeader h;
    h.Central = true;
    h.VersionMadeBy = LoadLE16(p + 4);
    h.VersionNeeded = LoadLE16(p + 6);
    h.Flags = LoadLE16(p + 8);
    h.Method = LoadLE16(p + 10);
    h.DosDateTime = LoadLE32(p + 12);
    h.Crc = LoadLE32(p + 16);
    h.PackedSize = LoadLE32(p + 20);
    h.UnpackedSize = LoadLE32(p + 24);
    h.NameLength = LoadLE16(p + 28);
    h.ExtraLength = LoadLE16(p + 30);
    h.CommentLength = LoadLE16(p + 32);
    h.DiskStart = LoadLE16(p + 34);
    h.InternalAttr = LoadLE16(p + 36);
    h.ExternalAttr = LoadLE32(p + 38);
    h.LocalOffset = LoadLE32(p + 42);
    return h;
}

TZipEntryHeader ParseZipLocalHeader(const std::uint8_t* p) {
    TZipEntryHeader h;
    h.VersionNeeded = LoadLE16(p + 4);
    h.Flags = LoadLE16(p + 6);
    h.Method = LoadLE16(p + 8);
    h.DosDateTime = LoadLE32(p + 10);
    h.Crc = LoadLE32(p + 14);
    h.PackedSize = LoadLE32(p + 18);
    h.UnpackedSize = LoadLE32(p + 22);
    h.Zip64Sizes = h.PackedSize == kZipSaturated32 || h.UnpackedSize == kZipSaturated32;
    h.NameLength = LoadLE16(p + 26);
    h.ExtraLength = LoadLE16(p + 28);
    return h;
}

bool ReadZipExtraFields(const std::uint8_t* extra, std::size_t size, std::string_view stored_name, bool central,
                        TZipEntryHeader& header, std::string_view stored_comment) {
    return WalkExtraFields(extra, size, [&](std::uint16_t id, const std::uint8_t* field, std::size_t length) {
        switch (id) {
            case kZip64Field: ApplyZip64(field, length, central, header); break;
            case kStrongEncryptionField: header.StrongEncryption = true; break;
            case kAesField: ApplyAes(field, length, header); break;
            case kUnicodePathField: ApplyUnicodePath(field, length, stored_name, header); break;
            case kUnicodeCommentField: header.UnicodeComment = UnicodeText(field, length, stored_comment); break;
            case kUnixOwnerField:
            case kOldUnixOwnerField: ApplyUnixOwner(id, field, length, header); break;
            default: ApplyTimes(id, field, length, header); break;
        }
    });
}

std::optional<TPreciseTime> ZipExtraModTime(std::string_view extra) {
    TZipEntryHeader header;
    WalkExtraFields(reinterpret_cast<const std::uint8_t*>(extra.data()), extra.size(),
                    [&](std::uint16_t id, const std::uint8_t* field, std::size_t length) {
                        ApplyTimes(id, field, length, header);
                    });
    return header.ModTime();
}

}  // namespace kv
