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
#include "engine/core/header_reader.h"
#include "engine/core/method_names.h"
#include "engine/core/oem_names.h"
#include "engine/core/zip_central_cursor.h"
#include "engine/core/zip_cipher.h"
#include "engine/core/zip_end_records.h"
#include "engine/core/zip_headers.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"
#include "engine/readers/zip_central_position.h"
#include "engine/readers/zip_local_entry.h"
#include "engine/readers/zip_split_set.h"
#include "platform/byte_order.h"
#include "platform/file_attributes_linux.h"
#include "platform/paths.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;
using platform::LoadLE64;

constexpr std::size_t kMaxCommentChars = 32767;

// The walk may not change the detected type itself; the one case that must (a damaged ZIP nobody
// offered to list) goes through the engine object's protected accessor.
std::optional<std::int64_t> AsSize(std::uint64_t value) {
    if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

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
    // Reads name and extra behind a local header's fixed part (deciphering them after an enciphered one)
    // and applies the extra fields; false when they are not all there or are inconsistent.
    bool ReadNameAndExtra(std::int64_t at, bool enciphered, TZipEntryHeader& header, std::string& stored_name);
    // `name` is the entry's name as text.
    std::optional<TEntryRecord> MakeRecord(const TZipEntryHeader& header, std::string name) const;

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

bool TZipWalk::ReadNameAndExtra(std::int64_t at, bool enciphered, TZipEntryHeader& header,
                                std::string& stored_name) {
    const std::size_t size = std::size_t{header.NameLength} + header.ExtraLength;
    const std::uint8_t* p = reader_.Fetch(at, size);
    if (p == nullptr) return false;
    std::vector<std::uint8_t> bytes(p, p + size);
    if (enciphered) DecipherHeaderContinuation(bytes.data(), bytes.size());
    stored_name.assign(reinterpret_cast<const char*>(bytes.data()), header.NameLength);
    return ReadZipExtraFields(bytes.data() + header.NameLength, header.ExtraLength, stored_name, false, header);
}

std::optional<TEntryRecord> TZipWalk::MakeRecord(const TZipEntryHeader& header, std::string name) const {
    const auto packed = AsSize(header.PackedSize);
    const auto unpacked = AsSize(header.UnpackedSize);
    if (!packed || !unpacked) return std::nullopt;
    TEntryRecord record;
    record.FileName = std::move(name);
    record.FileDate = lister_.DosDateTimeToDateTime(header.DosDateTime);
    record.ModTime = header.ModTime();
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
TListedKind KindOf(const TZipEntryHeader& header, std::string_view stored_name) {
    const bool directory = (header.ExternalAttr & platform::kFaDirectory) != 0 ||
                           (!stored_name.empty() && (stored_name.back() == '/' || stored_name.back() == '\\'));
    return directory ? TListedKind::lkCountedDirectory : TListedKind::lkFile;
}

void TZipWalk::WalkCentral(std::int64_t position) {
    const TArcDetection& d = lister_.Detection();
    const bool spanned = type_ == atZipDS || type_ == atZipMV;
    const bool local_verified = d.ZipLayoutFlags.Has(htLocal);
    const std::uint32_t last_disk = ZipEndValuesOf(d).ThisDisk;
    TZipCentralCursor cursor(reader_, position, {lister_.TranslateOemChar, lister_.NameCodePage, {}});
    while (!lister_.GetCancel()) {
        const TZipCentralRecord* central = cursor.Next();
        if (central == nullptr || !central->ExtraFieldsFit) break;
        const TZipEntryHeader& header = central->Header;
        auto record = MakeRecord(header, central->Name);
        if (!record) break;
        if (header.CommentLength > 0) {
            const std::string_view comment = central->Comment.substr(0, kMaxCommentChars);
            if (header.UnicodeComment) {
                record->FileComment = header.UnicodeComment->substr(0, kMaxCommentChars);
            } else {
                const TNameOrigin origin = ZipNameOrigin((header.Flags & kZipFlagUtf8) != 0, header.VersionMadeBy >> 8);
                record->FileComment = lister_.TranslateOemChar ? DecodeStoredName(comment, origin, lister_.NameCodePage)
                                                               : std::string(comment);
            }
        }
        if (spanned) {
            lister_.SetVolumeName(SpannedVolumeName(type_, lister_.ArchiveFile(), header.DiskStart, last_disk));
        } else if (!local_verified) {
            lister_.ReportError(ecode::kBadFileHeader);
        }
        record->HeaderOffset = static_cast<std::int64_t>(std::min<std::uint64_t>(
            header.LocalOffset + d.ZipPrefixSize, static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())));
        lister_.OfferEntry(std::move(*record), static_cast<std::int64_t>(header.LocalOffset),
                           KindOf(header, central->StoredName));
    }
}

void TZipWalk::WalkLocal(std::int64_t position) {
    position = ZipFirstLocalHeader(reader_, position);
    while (!lister_.GetCancel()) {
        const std::uint8_t* p = reader_.Fetch(position, kZipLocalHeaderSize);
        if (p == nullptr || !IsZipRecord(p, 0x03, 0x04)) break;
        std::array<std::uint8_t, kZipLocalHeaderSize> fixed{};
        std::memcpy(fixed.data(), p, fixed.size());
        const bool enciphered = IsEncipheredZipRecord(fixed.data());
        if (enciphered) DecipherHeader(fixed.data(), TCipheredRecord::crLocal);
        TZipEntryHeader header = ParseZipLocalHeader(fixed.data());

        std::string stored_name;
        if (!ReadNameAndExtra(position + static_cast<std::int64_t>(kZipLocalHeaderSize), enciphered, header,
                              stored_name)) {
            break;
        }
        const std::int64_t data_start =
            position + static_cast<std::int64_t>(kZipLocalHeaderSize) + header.NameLength + header.ExtraLength;
        const auto next = ZipLocalEntryEnd(reader_, data_start, header, [this] { return lister_.GetCancel(); });
        if (!next) break;
        auto record = MakeRecord(header, lister_.ConvertName(ZipEntryName(header, stored_name), header.NameOrigin()));
        if (!record) break;
        record->HeaderOffset = position;
        lister_.OfferEntry(std::move(*record), position, KindOf(header, stored_name));
        if (*next <= position) break;
        position = *next;
    }
}

}  // namespace

void ListZip(TArcLister& lister) { TZipWalk(lister).Run(); }

}  // namespace kv
