// The ZIP walk: over the central directory when detection verified one, else (when the owner agrees)
// over the local headers.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/entry_sizes.h"
#include "engine/core/error_codes.h"
#include "engine/core/method_names.h"
#include "engine/core/oem_names.h"
#include "engine/core/zip_cipher.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/header_reader.h"
#include "engine/readers/list_walks.h"
#include "engine/readers/zip_central_position.h"
#include "engine/readers/zip_headers.h"
#include "engine/readers/zip_split_set.h"
#include "platform/byte_order.h"
#include "platform/paths.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;
using platform::LoadLE64;

constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kWideEndRecordSize = 26;
constexpr std::size_t kMaxCommentChars = 32767;
constexpr std::uint32_t kDirectoryAttribute = 0x10;
constexpr std::size_t kDescriptorSize = 16;        // signature, CRC-32, packed and unpacked size
constexpr std::size_t kZip64DescriptorSize = 24;   // the same with 8-byte sizes
constexpr std::int64_t kDescriptorScanStep = 64 * 1024;

// The walk may not change the detected type itself; the one case that must (a damaged ZIP nobody
// offered to list) goes through the engine object's protected accessor.
std::optional<std::int64_t> AsSize(std::uint64_t value) {
    if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

struct TDataDescriptor {
    std::uint32_t Crc = 0;
    std::uint64_t PackedSize = 0;
    std::uint64_t UnpackedSize = 0;
    std::size_t Size = 0;
};

class TZipWalk {
public:
    explicit TZipWalk(TArcLister& lister)
        : lister_(lister), type_(lister.ArcType()), reader_(lister.Archive(), lister.ArchiveSize()) {}

    void Run();

private:
    std::optional<std::int64_t> CentralPosition();
    bool OwnerAcceptsLocalWalk();
    void WalkCentral(std::int64_t position);
    void WalkLocal(std::int64_t position);
    // Reads name and extra behind a fixed part (deciphering them after an enciphered one) and applies
    // the extra fields; false when they are not all there or are inconsistent.
    bool ReadNameAndExtra(std::int64_t at, bool enciphered, bool central, TZipEntryHeader& header,
                          std::string& stored_name);
    std::optional<TEntryRecord> MakeRecord(const TZipEntryHeader& header, const std::string& stored_name) const;
    std::optional<TDataDescriptor> FindDescriptor(std::int64_t data_start);
    std::size_t DescriptorAt(std::int64_t position, bool zip64);

    TArcLister& lister_;
    TArcType type_;
    THeaderReader reader_;
};

void TZipWalk::Run() {
    if (const auto central = CentralPosition()) {
        WalkCentral(*central);
    } else if (OwnerAcceptsLocalWalk()) {
        WalkLocal(std::max<std::int64_t>(lister_.Detection().ArcStartOffset, 0));
    }
}

std::optional<std::int64_t> TZipWalk::CentralPosition() {
    return FindZipCentralPosition(lister_.Detection(), reader_, lister_.ArchiveSize());
}

bool TZipWalk::OwnerAcceptsLocalWalk() {
    if (!lister_.OnCorruptZipHeader) {
        lister_.ReportError(ecode::kRequiredEventNotAssigned, "OnCorruptZipHeader");
        lister_.MarkUnlisted();
        return false;
    }
    bool cancel = true;
    lister_.OnCorruptZipHeader(&lister_, lister_.Detection().ZipLayoutFlags, cancel);
    return !cancel;
}

bool TZipWalk::ReadNameAndExtra(std::int64_t at, bool enciphered, bool central, TZipEntryHeader& header,
                                std::string& stored_name) {
    const std::size_t size = std::size_t{header.NameLength} + header.ExtraLength;
    const std::uint8_t* p = reader_.Fetch(at, size);
    if (p == nullptr) return false;
    std::vector<std::uint8_t> bytes(p, p + size);
    if (enciphered) DecipherHeaderContinuation(bytes.data(), bytes.size());
    stored_name.assign(reinterpret_cast<const char*>(bytes.data()), header.NameLength);
    return ReadZipExtraFields(bytes.data() + header.NameLength, header.ExtraLength, stored_name, central, header);
}

std::optional<TEntryRecord> TZipWalk::MakeRecord(const TZipEntryHeader& header, const std::string& stored_name) const {
    const auto packed = AsSize(header.PackedSize);
    const auto unpacked = AsSize(header.UnpackedSize);
    if (!packed || !unpacked) return std::nullopt;
    TEntryRecord record;
    record.FileName = lister_.ConvertName(ZipEntryName(header, stored_name), header.NameIsUtf8());
    record.FileDate = lister_.DosDateTimeToDateTime(header.DosDateTime);
    record.UnpackedSize = *unpacked;
    record.PackedSize = ReportedPackedSize(type_, header.Method, header.Enciphered(), *packed, *unpacked);
    record.FileCRC = header.Crc;
    record.Encrypted = header.Enciphered();
    record.CompressMethod = static_cast<std::uint8_t>(header.Method);
    record.ExternalAttr = header.ExternalAttr & 0xFFFF;
    TMethodNameExtras extras;
    extras.AesMethod = header.AesMethod;
    record.CompressMethodName = GetCompressMethodName(type_, header.Method, header.Flags, record.ExternalAttr, extras);
    record.VersionMadeBy = header.VersionMadeBy;
    record.VersionNeeded = header.VersionNeeded;
    record.Flags = header.Flags;
    return record;
}

// A directory entry carries the directory attribute; writers that leave attributes out (local
// headers have none) still end its name with "/".
TListedKind KindOf(const TZipEntryHeader& header, const std::string& stored_name) {
    const bool directory = (header.ExternalAttr & kDirectoryAttribute) != 0 ||
                           (!stored_name.empty() && (stored_name.back() == '/' || stored_name.back() == '\\'));
    return directory ? TListedKind::lkCountedDirectory : TListedKind::lkFile;
}

void TZipWalk::WalkCentral(std::int64_t position) {
    const TArcDetection& d = lister_.Detection();
    const bool spanned = type_ == atZipDS || type_ == atZipMV;
    const bool local_verified = d.ZipLayoutFlags.Has(htLocal);
    const std::uint32_t last_disk = d.EndRecord.size() >= 6 ? LoadLE16(d.EndRecord.data() + 4) : 0;
    while (!lister_.GetCancel()) {
        const std::uint8_t* p = reader_.Fetch(position, kZipCentralHeaderSize);
        if (p == nullptr || !IsZipRecord(p, 0x01, 0x02)) break;
        std::array<std::uint8_t, kZipCentralHeaderSize> fixed{};
        std::memcpy(fixed.data(), p, fixed.size());
        const bool enciphered = IsEncipheredZipRecord(fixed.data());
        if (enciphered) DecipherHeader(fixed.data(), TCipheredRecord::crCentral);
        TZipEntryHeader header = ParseZipCentralHeader(fixed.data());

        std::string stored_name;
        const std::int64_t name_at = position + static_cast<std::int64_t>(kZipCentralHeaderSize);
        if (!ReadNameAndExtra(name_at, enciphered, true, header, stored_name)) break;
        auto record = MakeRecord(header, stored_name);
        if (!record) break;
        if (header.CommentLength > 0) {
            const std::int64_t comment_at = name_at + header.NameLength + header.ExtraLength;
            const std::uint8_t* comment = reader_.Fetch(comment_at, header.CommentLength);
            if (comment == nullptr) break;
            const std::string_view text(reinterpret_cast<const char*>(comment),
                                        std::min<std::size_t>(header.CommentLength, kMaxCommentChars));
            record->FileComment = header.NameIsUtf8() || !lister_.TranslateOemChar ? std::string(text) : OemToUtf8(text);
        }
        if (spanned) {
            lister_.SetVolumeName(SpannedVolumeName(type_, lister_.ArchiveFile(), header.DiskStart, last_disk));
        } else if (!local_verified) {
            lister_.ReportError(ecode::kBadFileHeader);
        }
        record->HeaderOffset = static_cast<std::int64_t>(std::min<std::uint64_t>(
            header.LocalOffset + d.ZipPrefixSize, static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())));
        lister_.OfferEntry(std::move(*record), static_cast<std::int64_t>(header.LocalOffset),
                           KindOf(header, stored_name));
        position = name_at + static_cast<std::int64_t>(header.VariableSize());
    }
}

// The size of a data descriptor at `position` when one is there (with or without its signature, which
// is optional: then a following record signature must confirm it), else 0.
std::size_t TZipWalk::DescriptorAt(std::int64_t position, bool zip64) {
    const std::size_t size = zip64 ? kZip64DescriptorSize : kDescriptorSize;
    const std::uint8_t* p = reader_.Fetch(position, 4);
    if (p != nullptr && IsZipRecord(p, 0x07, 0x08)) return size;
    const std::uint8_t* next = reader_.Fetch(position + static_cast<std::int64_t>(size - 4), 4);
    if (next != nullptr && (IsZipRecord(next, 0x03, 0x04) || IsZipRecord(next, 0x01, 0x02))) return size - 4;
    return 0;
}

// An entry written without knowing its sizes ends in a data descriptor; the first descriptor whose
// packed size is its own distance from the data start is the one.
std::optional<TDataDescriptor> TZipWalk::FindDescriptor(std::int64_t data_start) {
    const std::int64_t limit = reader_.Limit();
    for (std::int64_t chunk = data_start; chunk < limit && !lister_.GetCancel(); chunk += kDescriptorScanStep) {
        const auto available = static_cast<std::size_t>(
            std::min<std::int64_t>(limit - chunk, kDescriptorScanStep + static_cast<std::int64_t>(kZip64DescriptorSize)));
        const std::uint8_t* p = reader_.Fetch(chunk, available);
        if (p == nullptr) break;
        const auto scan = std::min<std::size_t>(available, kDescriptorScanStep);
        for (std::size_t i = 0; i < scan && i + kDescriptorSize <= available; ++i) {
            if (!IsZipRecord(p + i, 0x07, 0x08)) continue;
            const auto distance = static_cast<std::uint64_t>(chunk + static_cast<std::int64_t>(i) - data_start);
            if (LoadLE32(p + i + 8) == distance) {
                return TDataDescriptor{LoadLE32(p + i + 4), distance, LoadLE32(p + i + 12), kDescriptorSize};
            }
            if (i + kZip64DescriptorSize <= available && LoadLE64(p + i + 8) == distance) {
                return TDataDescriptor{LoadLE32(p + i + 4), distance, LoadLE64(p + i + 16), kZip64DescriptorSize};
            }
        }
    }
    return std::nullopt;
}

void TZipWalk::WalkLocal(std::int64_t position) {
    // A spanned set starts with a lone descriptor signature.
    if (const std::uint8_t* p = reader_.Fetch(position, 4); p != nullptr && IsZipRecord(p, 0x07, 0x08)) position += 4;
    while (!lister_.GetCancel()) {
        const std::uint8_t* p = reader_.Fetch(position, kZipLocalHeaderSize);
        if (p == nullptr || !IsZipRecord(p, 0x03, 0x04)) break;
        std::array<std::uint8_t, kZipLocalHeaderSize> fixed{};
        std::memcpy(fixed.data(), p, fixed.size());
        const bool enciphered = IsEncipheredZipRecord(fixed.data());
        if (enciphered) DecipherHeader(fixed.data(), TCipheredRecord::crLocal);
        TZipEntryHeader header = ParseZipLocalHeader(fixed.data());
        const bool zip64 = header.PackedSize == kZipSaturated32 || header.UnpackedSize == kZipSaturated32;

        std::string stored_name;
        if (!ReadNameAndExtra(position + static_cast<std::int64_t>(kZipLocalHeaderSize), enciphered, false, header,
                              stored_name)) {
            break;
        }
        const std::int64_t data_start =
            position + static_cast<std::int64_t>(kZipLocalHeaderSize) + header.NameLength + header.ExtraLength;
        std::int64_t next = 0;
        if ((header.Flags & kZipFlagDataDescriptor) != 0 && header.PackedSize == 0) {
            const auto descriptor = FindDescriptor(data_start);
            if (!descriptor) break;
            header.Crc = descriptor->Crc;
            header.PackedSize = descriptor->PackedSize;
            header.UnpackedSize = descriptor->UnpackedSize;
            next = data_start + static_cast<std::int64_t>(descriptor->PackedSize + descriptor->Size);
        } else {
            const auto packed = AsSize(header.PackedSize);
            if (!packed || *packed > reader_.Limit() - data_start) break;
            next = data_start + *packed;
            if ((header.Flags & kZipFlagDataDescriptor) != 0) next += static_cast<std::int64_t>(DescriptorAt(next, zip64));
        }
        auto record = MakeRecord(header, stored_name);
        if (!record) break;
        record->HeaderOffset = position;
        lister_.OfferEntry(std::move(*record), position, KindOf(header, stored_name));
        if (next <= position) break;
        position = next;
    }
}

}  // namespace

void ListZip(TArcLister& lister) { TZipWalk(lister).Run(); }

}  // namespace kv
