#include "engine/readers/un_lha.h"

#include <algorithm>
#include <vector>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/core/header_reader.h"
#include "engine/readers/entry_data_io.h"
#include "engine/readers/lha_entry_sink.h"
#include "engine/readers/lha_methods.h"
#include "platform/file_attributes_linux.h"

namespace kv {
namespace {

constexpr char kLinkSeparator = '|';  // a Unix link's name holds its target after this
constexpr std::uint8_t kDosAttributes = 0x3F;
constexpr std::uint8_t kOsMacintosh = 'm';  // MacLHA, which wraps its files' data in MacBinary

// The MS-DOS date of the header's time, and the precise time where the header keeps one in Unix form.
std::uint32_t DosTime(const TLhaHeader& header) {
    const auto seconds = header.UnixSeconds();
    return seconds ? DateTimeToDosDateTime(UnixTimeToDateTime(*seconds)) : header.Time;
}

std::optional<TPreciseTime> PreciseTime(const TLhaHeader& header) {
    const auto seconds = header.UnixSeconds();
    if (!seconds) return std::nullopt;
    return TPreciseTime{*seconds, 0};
}

TDateTime EntryDate(const TLhaHeader& header) {
    const auto seconds = header.UnixSeconds();
    return seconds ? UnixTimeToDateTime(*seconds) : DosDateTimeToDateTime(header.Time);
}

// A Unix header's permissions go on as a Unix ZIP writer's do (in the high half, no write permission at all
// read-only); otherwise the MS-DOS attribute byte of the older levels, archive-only for the newer ones.
std::uint32_t OutputAttributes(const TLhaHeader& header) {
    if (header.UnixMode) {
        const std::uint32_t mode = *header.UnixMode & 07777;
        if ((mode & 0777) == 0) return platform::kFaArchive;
        return (mode << 16) | platform::kFaArchive | ((mode & 0222) == 0 ? platform::kFaReadOnly : 0);
    }
    if (header.Level >= 2) return platform::kFaArchive;
    return header.Attribute & kDosAttributes & ~platform::kFaDirectory;
}

std::int64_t Size(std::int64_t size) { return std::max<std::int64_t>(size, 0); }

}  // namespace

std::string TUnLha::EntryName(const TLhaHeader& header) const {
    std::string name = header.Name;
    if (header.IsSymbolicLink()) name.erase(std::min(name.find(kLinkSeparator), name.size()));
    // Some archivers end a file's name with a separator; the file is still a file, as other readers take it.
    if (!header.IsDirectory()) {
        while (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.pop_back();
    }
    return ConvertName(name, header.NameOrigin());
}

void TUnLha::ExtractIt(TStream32* archive, TObject*) {
    if (archive == nullptr) return;
    const std::int64_t size = archive->Size();
    THeaderReader reader(*archive, size, THeaderReader::kSmallChunk);
    std::vector<std::int64_t> selected;
    std::int64_t cursor = FindLhaStart(reader, std::max<std::int64_t>(Detection().ArcStartOffset, 0), ArcType() == atLhaExe);
    while (!GetCancel()) {
        const auto header = ReadLhaHeader(reader, cursor);
        if (!header) {
            // A header that does not read where one should be: the entries behind it cannot be found.
            if (!IsLhaArchiveEnd(reader, cursor)) DoError(ArchiveFile(), {}, "0", ecode::kBadFileHeader);
            break;
        }
        if (SelectEntry(EntryName(*header))) {
            if (!header->IsDirectory()) {
                TotalPackedSize += Size(header->PackedSize);
                TotalUnpackedSize += Size(header->OriginalSize);
            }
            NewestFileDate = std::max(NewestFileDate, EntryDate(*header));
            selected.push_back(cursor);
        }
        // An entry cut short is still extracted as far as it goes; nothing can follow it.
        if (header->NextOffset >= size) break;
        cursor = header->NextOffset;
    }
    ArchiveTotalBytes = BytesToProcess = TotalUnpackedSize;
    for (const std::int64_t at : selected) {
        if (GetCancel()) break;
        const auto header = ReadLhaHeader(reader, at);
        if (!header) {
            // The header was read a moment ago: the file changed under us.
            DoError(ArchiveFile(), {}, "0", ecode::kBadFileHeader);
            break;
        }
        ExtractEntry(*archive, *header);
    }
}

void TUnLha::ExtractEntry(TStream32& archive, const TLhaHeader& header) {
    const std::string name = EntryName(header);
    SetOutputName(name);
    if (header.IsSymbolicLink()) {
        const std::size_t separator = header.Name.find(kLinkSeparator);
        const std::string target = separator == std::string::npos ? std::string() : header.Name.substr(separator + 1);
        ExtractLink(header, ConvertName(target, header.NameOrigin()));
        return;
    }
    if (header.IsDirectory()) {
        CreateStoredDirectory(name, OutputAttributes(header), DosTime(header), PreciseTime(header));
        ++ProcessedCount;
        ReportCheck(true);
        return;
    }
    ExtractFile(archive, header);
}

void TUnLha::ExtractFile(TStream32& archive, const TLhaHeader& header) {
    TEntryRecord record;
    record.FileName = CurrentStoredName;
    record.PackedSize = Size(header.PackedSize);
    record.UnpackedSize = Size(header.OriginalSize);
    if (!IsKnownLhaMethod(header.Method)) {
        DoError(CurrentStoredName, header.Method, "0", ecode::kUnsupportedMethod);
        SkipEntry(record);
        return;
    }
    if (!BeginFile()) {
        SkipEntry(record);
        return;
    }
    Crc16Value = 0;
    if (!OpenEntryOutput(record)) return;
    std::int64_t done = 0;
    const auto progress = [&](std::int64_t block) {
        done += block;
        BytesToProcess -= block;
        ReportProgress(ArchiveTotalBytes, record.UnpackedSize, std::min(done, record.UnpackedSize));
    };
    archive.Seek(header.DataOffset, TSeekOrigin::soBeginning);
    TEntrySource source(*this, archive, record.PackedSize, false);
    TEntrySink output(*this, Output.get(), progress, record.UnpackedSize);
    const auto unpacked = static_cast<std::uint64_t>(record.UnpackedSize);
    TLhaEntrySink sink(output, Crc16Value, unpacked, header.Os == kOsMacintosh);
    TDecodeResult result = DecodeLhaMethod(header.Method, source, sink, unpacked);
    if (result == TDecodeResult::drOk && !sink.Finish()) result = TDecodeResult::drStopped;
    if (!GetCancel()) {
        if (result == TDecodeResult::drDataError) DoError(CurrentStoredName, {}, "0", ecode::kDecompressionError);
        if (result == TDecodeResult::drTruncated) DoError(CurrentStoredName, {}, "0", ecode::kErrorReadingFile);
    }
    CloseOutput(OutputAttributes(header), DosTime(header), PreciseTime(header));
    // Data that failed to decode fails the entry even when what came out matches the checksum.
    if (result == TDecodeResult::drOk) CheckCRC(kCrc16, header.Crc16);
    else ReportCheck(false);
}

void TUnLha::ExtractLink(const TLhaHeader& header, const std::string& target) {
    if (!BeginFile()) return;
    if (OutputMode == TOutputMode::omFiles && !RestoreSymbolicLink(target, DosTime(header), PreciseTime(header))) {
        --ProcessedCount;
        return;
    }
    ReportCheck(true);
}

}  // namespace kv
