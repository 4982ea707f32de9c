#include "engine/core/dates.h"
#include "engine/core/header_reader.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"
#include "engine/readers/zoo_header.h"

namespace kv {

void ListZoo(TArcLister& lister) {
    const TArcType type = lister.ArcType();
    THeaderReader archive(lister.Archive(), lister.ArchiveSize(), THeaderReader::kSmallChunk);
    const TZooWalkEnd end = WalkZoo(archive, lister.Detection().ArcStartOffset, [&](const TZooEntry& entry) {
        if (lister.GetCancel()) return false;
        TEntryRecord record;
        record.FileName = lister.ConvertName(entry.Name, entry.NameOrigin());
        record.FileDate = DosDateTimeToDateTime(entry.DosDateTime);
        record.FileCRC = entry.Crc16;
        record.UnpackedSize = entry.OriginalSize;
        record.PackedSize = entry.PackedSize;
        record.VersionMadeBy = entry.MajorVersion;
        record.VersionNeeded = entry.MinorVersion;
        record.CompressMethod = entry.Method;
        record.ExternalAttr = 0x20;
        record.CompressMethodName = GetCompressMethodName(type, entry.Method, 0, record.ExternalAttr);
        record.FileComment = entry.Comment;
        record.HeaderOffset = entry.HeaderAt;
        lister.OfferEntry(std::move(record), entry.HeaderAt, TListedKind::lkFile);
        return true;
    });
    if (const int error = ZooWalkError(end); error != 0) lister.ReportError(error);
}

}  // namespace kv
