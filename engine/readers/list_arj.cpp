#include <optional>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/arj_header.h"
#include "engine/readers/list_walks.h"
#include "platform/paths.h"

namespace kv {
namespace {

// Reads the header at `offset` of the current volume; an oversized one is reported as a bad header.
bool ReadHeader(TArcLister& lister, THeaderReader& archive, std::int64_t offset, TArjHeader& header) {
    const TArjHeaderRead read = ReadArjHeader(archive, offset, header);
    if (read == TArjHeaderRead::ahOversized) lister.ReportError(ecode::kBadFileHeader);
    return read == TArjHeaderRead::ahEntry;
}

// The position of the first file header of the current volume, or -1.
std::int64_t FirstFileHeader(TArcLister& lister, THeaderReader& archive, std::int64_t main_offset) {
    TArjHeader main;
    return ReadHeader(lister, archive, main_offset, main) ? main.DataOffset : -1;
}

TEntryRecord MakeRecord(TArcLister& lister, const TArjHeader& header, std::int64_t offset) {
    const bool directory = header.FileType == kArjDirectory;
    TEntryRecord record;
    record.FileName = lister.ConvertName(header.Name, header.NameOrigin());
    while (directory && !record.FileName.empty() && record.FileName.back() == platform::kPathDelim) {
        record.FileName.pop_back();
    }
    record.FileDate = header.ModifiedDate();
    record.PackedSize = header.PackedSize;
    record.UnpackedSize = header.OriginalSize;
    record.FileCRC = header.Crc32;
    record.Encrypted = (header.Flags & kArjGarbled) != 0;
    record.Flags = header.Flags;
    record.CompressMethod = header.Method;
    record.VersionMadeBy = header.Version;
    record.VersionNeeded = header.MinVersion;
    // Archives made on Unix store the file mode, whose bits mean nothing as MS-DOS attributes.
    if (header.HostOs == kArjHostUnix) {
        record.ExternalAttr = directory ? 0x10 : 0x20;
    } else {
        record.ExternalAttr = header.AccessMode | (directory ? 0x10 : 0);
    }
    TMethodNameExtras extras;
    extras.ArjFileType = header.FileType;
    record.CompressMethodName = GetCompressMethodName(lister.ArcType(), header.Method, 0, record.ExternalAttr, extras);
    record.HeaderOffset = offset;
    return record;
}

}  // namespace

void ListArj(TArcLister& lister) {
    std::optional<THeaderReader> archive(std::in_place, lister.Archive(), lister.ArchiveSize(), THeaderReader::kSmallChunk);
    std::int64_t cursor = FirstFileHeader(lister, *archive, lister.Detection().ArcStartOffset);
    TArjHeader header;
    while (cursor >= 0 && !lister.GetCancel() && ReadHeader(lister, *archive, cursor, header)) {
        std::int64_t next = header.DataOffset + header.PackedSize;
        if (next > lister.ArchiveSize()) break;
        if (header.FileType != kArjBinary && header.FileType != kArjText && header.FileType != kArjDirectory) {
            cursor = next;
            continue;
        }
        const std::int64_t entry_offset = cursor;
        TEntryRecord record = MakeRecord(lister, header, entry_offset);

        // A file split over volumes continues at the start of the next one; its parts add up.
        bool walk_ends = false;
        std::uint8_t flags = header.Flags;
        while ((flags & kArjContinuesInNext) != 0 && header.FileType != kArjDirectory) {
            if (!lister.NextVolume() || !lister.ArchiveOpen()) {
                walk_ends = true;
                break;
            }
            archive.emplace(lister.Archive(), lister.ArchiveSize());
            next = FirstFileHeader(lister, *archive, 0);
            TArjHeader part;
            if (next < 0 || !ReadHeader(lister, *archive, next, part) || part.DataOffset + part.PackedSize > lister.ArchiveSize()) {
                walk_ends = true;
                break;
            }
            if ((part.Flags & kArjContinuedFromPrevious) == 0) break;  // the new volume's entries are listed as they come
            record.PackedSize += part.PackedSize;
            record.UnpackedSize += part.OriginalSize;
            flags = part.Flags;
            next = part.DataOffset + part.PackedSize;
        }
        lister.OfferEntry(std::move(record), entry_offset, header.FileType == kArjDirectory
                                                               ? TListedKind::lkDirectory
                                                               : TListedKind::lkFile);
        if (walk_ends) break;
        cursor = next;
    }
}

}  // namespace kv
