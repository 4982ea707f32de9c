#include <algorithm>
#include <vector>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/core/header_reader.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/rar5_headers.h"
#include "engine/readers/rar_volumes.h"

namespace kv {
namespace {

// Enough bytes for the header CRC and the largest header-size field.
constexpr std::int64_t kBlockStartBytes = 7;
// Windows file times count 100 ns steps from 1601.
constexpr std::uint64_t kFileTimeTicksPerSecond = 10'000'000;
constexpr std::int64_t kFileTimeToUnixSeconds = 11'644'473'600;

TDateTime Rar5Date(const TRar5FileHeader& file) {
    if (file.UnixMTime) return UnixTimeToDateTime(*file.UnixMTime);
    if (file.FileTimeMTime) {
        const auto seconds = static_cast<std::int64_t>(*file.FileTimeMTime / kFileTimeTicksPerSecond);
        return UnixTimeToDateTime(seconds - kFileTimeToUnixSeconds);
    }
    return kFallbackFileDate;
}

// The unpack version as RAR 4 headers number it: 50 for the RAR 5.0 algorithm, 70 for its successor.
std::uint16_t UnpackVersion(std::uint8_t algorithm) {
    if (algorithm == 0) return 50;
    return algorithm == 1 ? 70 : 0;
}

TEntryRecord Rar5Record(const TArcLister& lister, const TRar5FileHeader& file, std::int64_t packed_size) {
    TEntryRecord record;
    record.FileName = lister.ConvertName(file.Name, TNameOrigin::noUnicode);
    record.FileDate = Rar5Date(file);
    record.PackedSize = packed_size;
    record.UnpackedSize = file.UnpackedSize;
    record.FileCRC = file.DataCrc;
    record.Encrypted = file.Encrypted;
    // Methods are named like those of RAR 4, whose headers store them as the digits "0" to "5".
    record.CompressMethod = static_cast<std::uint8_t>('0' + file.Method);
    record.ExternalAttr = file.DosAttributes();
    record.CompressMethodName =
        GetCompressMethodName(lister.ArcType(), record.CompressMethod, 0, record.ExternalAttr);
    record.VersionMadeBy = UnpackVersion(file.Version);
    return record;
}

void WalkRar5Volume(TArcLister& lister, THeaderReader& window, TRarEntryJoin& join, std::int64_t cursor) {
    std::vector<std::uint8_t> header;
    while (!lister.GetCancel()) {
        const std::int64_t size = lister.ArchiveSize();
        if (cursor + kBlockStartBytes > size) return;
        header.resize(kBlockStartBytes);
        if (!window.Read(cursor, header.data(), kBlockStartBytes)) return;
        const auto header_end = Rar5HeaderEnd(header);
        if (!header_end || static_cast<std::int64_t>(*header_end) > size - cursor) return;
        header.resize(*header_end);
        if (!window.Read(cursor, header.data(), static_cast<std::int64_t>(header.size()))) return;
        const auto block = ParseRar5Block(header);
        if (!block) return;
        if (block->Type == kRar5EncryptionBlock) {
            // Everything behind it is enciphered with the archive's password.
            lister.ReportError(ecode::kPasswordProtected);
            return;
        }
        if (block->Type == kRar5EndBlock) return;

        const std::int64_t data_at = cursor + static_cast<std::int64_t>(*header_end);
        if (block->DataSize > static_cast<std::uint64_t>(INT64_MAX - data_at)) return;
        const auto packed = static_cast<std::int64_t>(block->DataSize);
        if (block->Type == kRar5FileBlock) {
            const auto file = ParseRar5FileHeader(header, *block);
            if (!file) return;
            join.Add(Rar5Record(lister, *file, packed), cursor,
                     file->Directory ? TListedKind::lkDirectory : TListedKind::lkFile,
                     (block->Flags & kRar5DataFromPrevious) != 0, (block->Flags & kRar5DataIntoNext) != 0);
        }
        cursor = data_at + packed;
    }
}

}  // namespace

void ListRar5(TArcLister& lister) {
    TRarEntryJoin join(lister);
    THeaderReader window(lister.Archive(), lister.ArchiveSize(), THeaderReader::kSmallChunk);
    const std::int64_t cursor = lister.Detection().ArcStartOffset + static_cast<std::int64_t>(kRar5SignatureSize);
    WalkRarVolumes(
        lister, join, cursor,
        [&](std::int64_t from) {
            window.Reset(lister.Archive(), lister.ArchiveSize());
            WalkRar5Volume(lister, window, join, from);
        },
        [&]() -> std::optional<std::int64_t> {
            if (!RarSignatureAt(lister, 0, kRar5Signature)) return std::nullopt;
            std::vector<std::uint8_t> start(kBlockStartBytes);
            if (!lister.ReadExact(kRar5SignatureSize, start.data(), kBlockStartBytes)) {
                lister.ReportError(ecode::kErrorReadingFile);
                return std::nullopt;
            }
            return static_cast<std::int64_t>(kRar5SignatureSize);
        });
}

}  // namespace kv
