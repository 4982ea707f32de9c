#include <array>
#include <string>

#include "engine/core/dates.h"
#include "engine/core/header_reader.h"
#include "engine/core/method_names.h"
#include "engine/readers/ace_headers.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"
#include "platform/file_attributes_linux.h"

namespace kv {
namespace {


// The method names count the qualities from "Fastest" (0); headers count them from 1, keeping 0 for stored
// entries, which have no name of their own and take the first one.
std::uint8_t MethodCode(const TAceFileHeader& file) {
    return file.Quality == 0 ? 0 : static_cast<std::uint8_t>(file.Quality - 1);
}

TEntryRecord AceRecord(const TArcLister& lister, const TAceFileHeader& file, std::uint8_t version) {
    TEntryRecord record;
    record.FileName = lister.ConvertName(file.Name);
    record.FileDate = DosDateTimeToDateTime(file.DosTime);
    record.PackedSize = file.PackedSize;
    record.UnpackedSize = file.OriginalSize;
    record.FileCRC = file.Crc32;
    record.Encrypted = (file.Flags & kAceFileEncrypted) != 0;
    record.CompressMethod = MethodCode(file);
    record.CompressMethodName = GetCompressMethodName(lister.ArcType(), record.CompressMethod, 0, file.Attributes);
    record.ExternalAttr = file.Attributes;
    record.VersionMadeBy = version;
    record.VersionNeeded = version;
    record.Flags = file.Flags;
    return record;
}

}  // namespace

void ListAce(TArcLister& lister) {
    std::int64_t cursor = lister.Detection().ArcStartOffset;
    THeaderReader window(lister.Archive(), lister.ArchiveSize(), THeaderReader::kSmallChunk);
    std::array<std::uint8_t, kAceFileHeaderFixed> fixed{};
    if (!lister.ReadExact(cursor, fixed.data(), kAceMainHeaderFixed)) return;
    const auto main = ParseAceMainHeader(fixed);
    if (!main) return;
    cursor += static_cast<std::int64_t>(kAceSizeFieldsSize) + main->HeaderSize;

    while (!lister.GetCancel()) {
        if (cursor + static_cast<std::int64_t>(kAceFileHeaderFixed) > lister.ArchiveSize()) return;
        if (!window.Read(cursor, fixed.data(), kAceFileHeaderFixed)) return;
        auto file = ParseAceFileHeader(fixed);
        if (!file) return;
        file->Name.resize(file->NameSize);
        if (!window.Read(cursor + static_cast<std::int64_t>(kAceFileHeaderFixed), file->Name.data(),
                              file->NameSize)) {
            return;
        }
        const std::int64_t offset = cursor;
        cursor += static_cast<std::int64_t>(kAceSizeFieldsSize) + file->HeaderSize + file->PackedSize;
        lister.OfferEntry(AceRecord(lister, *file, main->VersionCreated), offset,
                          (file->Attributes & platform::kFaDirectory) != 0 ? TListedKind::lkDirectory
                                                                        : TListedKind::lkFile);
    }
}

}  // namespace kv
