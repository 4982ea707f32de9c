#include "engine/readers/un_zoo.h"

#include <algorithm>
#include <vector>

#include "engine/codecs/lzh_static.h"
#include "engine/codecs/zoo_lzw.h"
#include "engine/core/error_codes.h"
#include "engine/readers/entry_data_io.h"
#include "platform/file_attributes_linux.h"

namespace kv {
namespace {

enum : std::uint8_t { kStored = 0, kLzw = 1, kLzh = 2 };
// ZOO's LZH is LHA's -lh5-: an 8 KiB window, 4 bits for the count of position code lengths.
constexpr TLzhStaticParams kZooLzh{13, 4};

bool IsKnownMethod(std::uint8_t method) { return method == kStored || method == kLzw || method == kLzh; }

// Permissions a Unix zoo recorded go on as a Unix writer's do (the high half); without them the file gets
// plain attributes.
std::uint32_t OutputAttributes(const TZooEntry& entry) {
    if (!entry.UnixMode || (*entry.UnixMode & 0777) == 0) return platform::kFaArchive;
    const std::uint32_t mode = *entry.UnixMode;
    return (mode << 16) | platform::kFaArchive | ((mode & 0222) == 0 ? platform::kFaReadOnly : 0);
}

}  // namespace

void TUnZoo::ExtractIt(TStream32* archive, TObject*) {
    if (archive == nullptr) return;
    THeaderReader headers(*archive, archive->Size(), THeaderReader::kSmallChunk);
    std::vector<TZooEntry> selected;
    const TZooWalkEnd end =
        WalkZoo(headers, std::max<std::int64_t>(Detection().ArcStartOffset, 0), [&](const TZooEntry& entry) {
            if (GetCancel()) return false;
            if (!SelectEntry(ConvertName(entry.Name, entry.NameOrigin()))) return true;
            TotalPackedSize += entry.PackedSize;
            TotalUnpackedSize += entry.OriginalSize;
            NewestFileDate = std::max(NewestFileDate, DosDateTimeToDateTime(entry.DosDateTime));
            selected.push_back(entry);
            // Many entries may share one comment; the extraction has no use for it.
            selected.back().Comment = std::string();
            return true;
        });
    ArchiveTotalBytes = BytesToProcess = TotalUnpackedSize;
    for (const TZooEntry& entry : selected) {
        if (GetCancel()) return;
        ExtractEntry(*archive, entry);
    }
    // What the walk found before the directory broke off is extracted; the archive is still damaged.
    if (const int error = ZooWalkError(end); error != 0 && !GetCancel()) DoError(ArchiveFile(), {}, "0", error);
}

void TUnZoo::ExtractEntry(TStream32& archive, const TZooEntry& entry) {
    SetOutputName(ConvertName(entry.Name, entry.NameOrigin()));
    TEntryRecord record;
    record.FileName = CurrentStoredName;
    record.PackedSize = entry.PackedSize;
    record.UnpackedSize = entry.OriginalSize;
    if (!IsKnownMethod(entry.Method)) {
        DoError(CurrentStoredName, {}, "0", ecode::kUnsupportedMethod);
        SkipEntry(record);
        return;
    }
    if (!BeginFile()) {
        SkipEntry(record);
        return;
    }
    Crc16Value = 0;
    if (!OpenEntryOutput(record)) return;
    const bool decoded = Decode(archive, entry);
    CloseOutput(OutputAttributes(entry), entry.DosDateTime);
    // Data that failed to decode fail the entry even when what came out matches the checksum.
    if (decoded) CheckCRC(kCrc16, entry.Crc16);
    else ReportCheck(false);
}

bool TUnZoo::Decode(TStream32& archive, const TZooEntry& entry) {
    archive.Seek(entry.DataAt, TSeekOrigin::soBeginning);
    if (entry.Method == kStored) {
        TEntryRecord record;
        record.PackedSize = entry.PackedSize;
        const bool whole = CopyStored(archive, Output.get(), record, kCrc16) == 0;
        if (!whole && !GetCancel()) DoError(CurrentStoredName, {}, "0", ecode::kErrorReadingFile);
        return whole;
    }
    std::int64_t done = 0;
    TEntrySource source(*this, archive, entry.PackedSize, false);
    TEntrySink sink(
        *this, Output.get(),
        [&](std::int64_t size) {
            done += size;
            BytesToProcess -= size;
            ReportProgress(ArchiveTotalBytes, entry.OriginalSize, std::min(done, entry.OriginalSize));
        },
        entry.OriginalSize, kCrc16);
    const TDecodeResult result =
        entry.Method == kLzw ? UnZooLzw(source, sink)
                             : UnLzhStatic(source, sink, static_cast<std::uint64_t>(entry.OriginalSize), kZooLzh);
    if (GetCancel()) return false;
    // The data end where the header says they do: a stream that stops early or runs on is damaged.
    if (result == TDecodeResult::drTruncated) {
        DoError(CurrentStoredName, {}, "0", ecode::kErrorReadingFile);
        return false;
    }
    if (result != TDecodeResult::drOk || sink.Overflowed() || done != entry.OriginalSize) {
        DoError(CurrentStoredName, {}, "0", ecode::kDecompressionError);
        return false;
    }
    return true;
}

}  // namespace kv
