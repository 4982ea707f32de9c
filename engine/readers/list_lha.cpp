#include "engine/core/dates.h"
#include "engine/core/entry_sizes.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/lha_header.h"
#include "engine/readers/list_walks.h"
#include "platform/paths.h"

namespace kv {

void ListLha(TArcLister& lister) {
    const TArcType type = lister.ArcType();
    std::int64_t cursor = lister.Detection().ArcStartOffset;
    THeaderReader archive(lister.Archive(), lister.ArchiveSize(), THeaderReader::kSmallChunk);
    while (!lister.GetCancel()) {
        const auto header = ReadLhaHeader(archive, cursor);
        if (!header || header->NextOffset > lister.ArchiveSize()) break;

        const bool directory = header->IsDirectory();
        const int method = static_cast<unsigned char>(header->Method[3]);
        TEntryRecord record;
        record.FileName = lister.ConvertName(header->Name, header->NameOrigin());
        while (directory && !record.FileName.empty() && record.FileName.back() == platform::kPathDelim) record.FileName.pop_back();
        const auto unix_seconds = header->UnixSeconds();
        record.FileDate = unix_seconds ? UnixTimeToDateTime(*unix_seconds) : DosDateTimeToDateTime(header->Time);
        record.UnpackedSize = header->OriginalSize;
        record.PackedSize = ReportedPackedSize(type, method, false, header->PackedSize, header->OriginalSize);
        record.FileCRC = header->Crc16;
        record.CompressMethod = static_cast<std::uint8_t>(method);
        record.ExternalAttr = directory ? 0x10 : 0x20;
        record.CompressMethodName = GetCompressMethodName(type, method, 0, record.ExternalAttr);
        record.HeaderOffset = cursor;
        lister.OfferEntry(std::move(record), cursor, directory ? TListedKind::lkDirectory : TListedKind::lkFile);
        cursor = header->NextOffset;
    }
}

}  // namespace kv
