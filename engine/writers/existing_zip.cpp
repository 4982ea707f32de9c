#include "engine/writers/existing_zip.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/core/arc_detect.h"
#include "engine/core/formats.h"
#include "engine/core/header_reader.h"
#include "engine/core/zip_central_cursor.h"
#include "engine/core/zip_cipher.h"
#include "engine/core/zip_headers.h"
#include "engine/readers/zip_central_position.h"
#include "platform/byte_order.h"

namespace kv {
namespace {

constexpr std::size_t kEndRecordSize = 22;

class TCommentCopy : public TArchiveCommentSink {
public:
    void ReceiveComment(std::uint32_t, std::int64_t, std::int64_t, const std::uint8_t* comment,
                        std::size_t size) override {
        Comment.assign(reinterpret_cast<const char*>(comment), size);
    }
    std::string Comment;
};

// An archive holding nothing is its end record alone (and perhaps a comment); detection does not take it
// for a ZIP, the writer does.
bool IsEmptyArchive(TStream32& archive, std::int64_t size, TExistingZip& zip) {
    if (size < static_cast<std::int64_t>(kEndRecordSize)) return false;
    std::array<std::uint8_t, kEndRecordSize> end{};
    if (archive.ReadAt(0, end.data(), end.size()) != static_cast<std::int64_t>(end.size())) return false;
    if (!IsZipRecord(end.data(), 0x05, 0x06) || end[1] != 'K') return false;
    const std::size_t comment = platform::LoadLE16(&end[20]);
    if (platform::LoadLE16(&end[10]) != 0 || kEndRecordSize + comment != static_cast<std::size_t>(size)) return false;
    zip.Comment.resize(comment);
    return comment == 0 || archive.ReadAt(kEndRecordSize, zip.Comment.data(), static_cast<std::int64_t>(comment)) ==
                               static_cast<std::int64_t>(comment);
}

// The directory's headers follow each other up to the first record of another kind.
bool ReadCentral(THeaderReader& reader, std::int64_t position, std::int64_t prefix, TExistingZip& zip) {
    const std::int64_t limit = reader.Limit();
    TZipCentralCursor cursor(reader, position);
    while (const TZipCentralRecord* record = cursor.Next()) {
        if (!record->ExtraFieldsFit) return false;
        const TZipEntryHeader& header = record->Header;
        TKeptEntry kept;
        kept.Central = KeptCentralRecord(*record);
        if (header.PackedSize > static_cast<std::uint64_t>(limit) ||
            header.LocalOffset > static_cast<std::uint64_t>(limit - prefix)) {
            return false;
        }
        kept.Offset = static_cast<std::int64_t>(header.LocalOffset) + prefix;
        kept.Name = record->Name;
        zip.Entries.push_back(std::move(kept));
    }
    // A header cut short by the end of the file is damage; any other record ends the directory.
    return cursor.Stop() == TZipCursorStop::csOtherRecord || cursor.Stop() == TZipCursorStop::csNoHeader;
}

// Each entry reaches to where the next one starts (or the directory): that covers its data and any
// descriptor exactly as they were written.
bool MeasureEntries(THeaderReader& reader, std::int64_t central_position, TExistingZip& zip) {
    std::vector<TKeptEntry*> by_offset;
    for (TKeptEntry& entry : zip.Entries) by_offset.push_back(&entry);
    std::sort(by_offset.begin(), by_offset.end(), [](auto* a, auto* b) { return a->Offset < b->Offset; });
    for (std::size_t i = 0; i < by_offset.size(); ++i) {
        TKeptEntry& entry = *by_offset[i];
        const std::int64_t end = i + 1 < by_offset.size() ? by_offset[i + 1]->Offset : central_position;
        const std::uint8_t* p = reader.Fetch(entry.Offset, kZipLocalHeaderSize);
        if (p == nullptr || !IsZipRecord(p, 0x03, 0x04) || (p[1] != 'K' && p[1] != 'L')) return false;
        std::array<std::uint8_t, kZipLocalHeaderSize> fixed{};
        std::memcpy(fixed.data(), p, fixed.size());
        if (IsEncipheredZipRecord(p)) DecipherHeader(fixed.data(), TCipheredRecord::crLocal);
        const TZipEntryHeader local = ParseZipLocalHeader(fixed.data());
        const auto minimum = static_cast<std::uint64_t>(kZipLocalHeaderSize) + local.NameLength + local.ExtraLength +
                             entry.Central.PackedSize;
        if (end <= entry.Offset || static_cast<std::uint64_t>(end - entry.Offset) < minimum) return false;
        entry.Length = end - entry.Offset;
    }
    zip.PrefixSize = by_offset.empty() ? 0 : by_offset.front()->Offset;
    return true;
}

}  // namespace

TZipRecordEntry KeptCentralRecord(const TZipCentralRecord& record) {
    const TZipEntryHeader& header = record.Header;
    TZipRecordEntry central;
    central.StoredName = record.StoredName;
    central.CentralExtra =
        WithoutZip64Field(reinterpret_cast<const std::uint8_t*>(record.Extra.data()), record.Extra.size());
    central.Comment = record.Comment;
    central.VersionMadeBy = header.VersionMadeBy;
    central.VersionNeeded = header.VersionNeeded;
    central.Flags = header.Flags;
    central.Method = header.Method;
    central.DosDateTime = header.DosDateTime;
    central.Crc = header.Crc;
    central.PackedSize = header.PackedSize;
    central.UnpackedSize = header.UnpackedSize;
    central.LocalOffset = header.LocalOffset;
    central.InternalAttr = header.InternalAttr;
    central.ExternalAttr = header.ExternalAttr;
    return central;
}

std::optional<TExistingZip> ReadExistingZip(TStream32& archive, const std::string& file_name) {
    const std::int64_t size = archive.Size();
    TExistingZip zip;
    if (size < 0) return std::nullopt;
    if (IsEmptyArchive(archive, size, zip)) return zip;

    TArcDetection detection;
    TCommentCopy comment;
    TDetectionContext context;
    context.ArchiveFile = file_name;
    context.ReportError = [](int) {};
    context.CommentSink = &comment;
    const TArcType type = DetectArcType(archive, detection, context);
    if (!FormatOf(type).Has(ftZipFamily)) return std::nullopt;

    THeaderReader reader(archive, size);
    const auto central = FindZipCentralPosition(detection, reader, size);
    if (!central) return std::nullopt;
    if (!ReadCentral(reader, *central, detection.ZipPrefixSize, zip)) return std::nullopt;
    if (!MeasureEntries(reader, *central, zip)) return std::nullopt;
    if (zip.Entries.empty()) zip.PrefixSize = *central;
    zip.Comment = comment.Comment;
    return zip;
}

}  // namespace kv
