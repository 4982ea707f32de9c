#include <array>
#include <string>

#include "engine/core/dates.h"
#include "engine/core/entry_sizes.h"
#include "engine/core/header_reader.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"
#include "platform/byte_order.h"

namespace kv {

void ListBh(TArcLister& lister) {
    using platform::LoadLE16;
    using platform::LoadLE32;
    constexpr std::int64_t kHeaderSize = 37;
    constexpr std::uint8_t kEnciphered = 0x01;

    const TArcType type = lister.ArcType();
    std::int64_t cursor = lister.Detection().ArcStartOffset;
    THeaderReader archive(lister.Archive(), lister.ArchiveSize(), THeaderReader::kSmallChunk);
    std::array<std::uint8_t, kHeaderSize> bytes{};
    std::string name;
    while (!lister.GetCancel()) {
        if (cursor + kHeaderSize > lister.ArchiveSize() || !archive.Read(cursor, bytes.data(), kHeaderSize)) break;
        if (bytes[0] != 'B' || bytes[1] != 'H' || bytes[2] != 0x05 || bytes[3] != 0x07 || LoadLE16(&bytes[4]) == 0) break;

        const std::int64_t name_length = LoadLE16(&bytes[33]);
        const std::int64_t extra_length = LoadLE16(&bytes[35]);
        const std::int64_t stored_packed = LoadLE32(&bytes[15]);
        const std::int64_t next = cursor + kHeaderSize + name_length + extra_length + stored_packed;
        if (next > lister.ArchiveSize()) break;
        name.resize(static_cast<std::size_t>(name_length));
        if (!archive.Read(cursor + kHeaderSize, name.data(), name_length)) break;

        const std::uint8_t flags = bytes[9];
        const std::uint8_t method = bytes[10];
        TEntryRecord record;
        record.FileName = lister.ConvertName(name);
        record.FileDate = DosDateTimeToDateTime(LoadLE32(&bytes[11]));
        record.Encrypted = (flags & kEnciphered) != 0;
        record.Flags = flags;
        record.UnpackedSize = LoadLE32(&bytes[19]);
        record.PackedSize = ReportedPackedSize(type, method, record.Encrypted, stored_packed, record.UnpackedSize);
        record.FileCRC = LoadLE32(&bytes[23]);
        record.ExternalAttr = LoadLE16(&bytes[27]);
        record.VersionMadeBy = bytes[7];
        record.VersionNeeded = bytes[8];
        record.CompressMethod = method;
        record.CompressMethodName = GetCompressMethodName(type, method, flags, record.ExternalAttr);
        record.HeaderOffset = cursor;
        const bool directory = (record.ExternalAttr & 0x10) != 0;
        lister.OfferEntry(std::move(record), cursor, directory ? TListedKind::lkDirectory : TListedKind::lkFile);
        cursor = next;
    }
}

}  // namespace kv
