#include <algorithm>
#include <array>
#include <vector>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/core/header_reader.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"
#include "engine/readers/rar5_headers.h"
#include "engine/readers/rar_headers.h"
#include "engine/readers/rar_volumes.h"

namespace kv {
namespace {

TEntryRecord RarRecord(const TArcLister& lister, const TRarFileHeader& file) {
    TEntryRecord record;
    record.FileName = lister.ConvertName(file.Name, file.NameIsUtf8 ? TNameOrigin::noUnicode : TNameOrigin::noDos);
    record.FileDate = DosDateTimeToDateTime(file.DosTime);
    record.PackedSize = file.PackedSize;
    record.UnpackedSize = file.UnpackedSize;
    record.FileCRC = file.FileCrc;
    record.Encrypted = (file.Flags & kRarFileEncrypted) != 0;
    record.CompressMethod = file.Method;
    record.ExternalAttr = file.DosAttributes();
    record.CompressMethodName = GetCompressMethodName(lister.ArcType(), file.Method, 0, record.ExternalAttr);
    record.VersionMadeBy = file.UnpackVersion;
    record.Flags = file.Flags;
    return record;
}

// Walks the blocks of one volume from `cursor` until its end block or its end.
void WalkRarVolume(TArcLister& lister, THeaderReader& window, TRarEntryJoin& join, std::int64_t cursor) {
    std::vector<std::uint8_t> header;
    while (!lister.GetCancel()) {
        const std::int64_t size = lister.ArchiveSize();
        if (cursor + static_cast<std::int64_t>(kRarBlockPrefix) > size) return;
        const auto fixed = static_cast<std::size_t>(std::min<std::int64_t>(kRarFileHeaderFixed, size - cursor));
        header.resize(fixed);
        if (!window.Read(cursor, header.data(), static_cast<std::int64_t>(fixed))) return;
        const auto block = ParseRarBlockPrefix(header);
        if (!block) return;

        std::int64_t next = cursor + block->HeaderSize;
        if (block->Type == kRarEndBlock) return;
        if (block->Type == kRarFileBlock) {
            if (block->HeaderSize < kRarFileHeaderFixed || cursor + block->HeaderSize > size) return;
            header.resize(block->HeaderSize);
            if (block->HeaderSize > fixed &&
                !window.Read(cursor + static_cast<std::int64_t>(fixed), header.data() + fixed,
                                  block->HeaderSize - static_cast<std::int64_t>(fixed))) {
                return;
            }
            const auto file = ParseRarFileHeader(header);
            if (!file) return;
            next += file->PackedSize;
            join.Add(RarRecord(lister, *file), cursor,
                     file->IsDirectory() ? TListedKind::lkDirectory : TListedKind::lkFile,
                     (file->Flags & kRarFileContinuedFromPrevious) != 0,
                     (file->Flags & kRarFileContinuedInNext) != 0);
        } else if (block->Type != kRarCommentBlock &&
                   (block->Flags & (kRarLongBlock | kRarSkipIfUnknown)) != 0) {
            next += block->AddedSize;
        }
        // A size that does not move on (or overflows) would loop.
        if (next <= cursor) return;
        cursor = next;
    }
}

// The main header behind the marker at `offset`; reports a short one.
std::optional<std::int64_t> RarBlocksStart(TArcLister& lister, std::int64_t offset) {
    std::array<std::uint8_t, kRarMainHeaderSize> main{};
    if (!lister.ReadExact(offset + kRarMarkerSize, main.data(), main.size())) {
        lister.ReportError(ecode::kErrorReadingFile);
        return std::nullopt;
    }
    const auto block = ParseRarBlockPrefix(main);
    if (!block || block->Type != kRarMainBlock || block->HeaderSize < kRarMainHeaderSize) return std::nullopt;
    // Encrypted block headers cannot be read without the password.
    if ((block->Flags & kRarMainEncryptedHeaders) != 0) {
        lister.ReportError(ecode::kPasswordProtected);
        return std::nullopt;
    }
    return offset + static_cast<std::int64_t>(kRarMarkerSize) + block->HeaderSize;
}

}  // namespace

void ListRar(TArcLister& lister) {
    const std::int64_t start = lister.Detection().ArcStartOffset;
    if (RarSignatureAt(lister, start, kRar5Signature)) {
        ListRar5(lister);
        return;
    }
    if (!RarSignatureAt(lister, start, kRarMarker)) return;
    const auto cursor = RarBlocksStart(lister, start);
    if (!cursor) return;

    TRarEntryJoin join(lister);
    THeaderReader window(lister.Archive(), lister.ArchiveSize(), THeaderReader::kSmallChunk);
    WalkRarVolumes(
        lister, join, *cursor,
        [&](std::int64_t from) {
            window.Reset(lister.Archive(), lister.ArchiveSize());
            WalkRarVolume(lister, window, join, from);
        },
        [&]() -> std::optional<std::int64_t> {
            // Later volumes carry no self-extractor in front.
            if (!RarSignatureAt(lister, 0, kRarMarker)) return std::nullopt;
            return RarBlocksStart(lister, 0);
        });
}

}  // namespace kv
