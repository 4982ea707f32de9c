#include "engine/readers/un_arj.h"

#include <algorithm>
#include <array>

#include "engine/codecs/arj_fastest.h"
#include "engine/codecs/lzh_static.h"
#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/readers/arj_garble.h"
#include "engine/readers/entry_data_io.h"
#include "platform/file_attributes_linux.h"
#include "platform/paths.h"

namespace kv {
namespace {

constexpr std::uint8_t kArjStored = 0;
constexpr std::uint8_t kArjFastest = 4;
constexpr TLzhStaticParams kArjLzhParams{16, 5};

bool Extractable(const TArjHeader& header) {
    return header.FileType == kArjBinary || header.FileType == kArjText || header.FileType == kArjDirectory;
}

TDecodeResult CopyPiece(TByteSource& source, TByteSink& sink, std::uint64_t size) {
    std::array<std::uint8_t, 65536> buffer;
    while (size > 0) {
        const std::size_t got =
            source.Read(buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer.size())));
        if (got == 0) return TDecodeResult::drTruncated;
        if (!sink.Write(buffer.data(), got)) return TDecodeResult::drStopped;
        size -= got;
    }
    return TDecodeResult::drOk;
}

std::uint32_t DosDate(const TArjHeader& header) {
    return header.UnixTime() ? DateTimeToDosDateTime(header.ModifiedDate()) : header.DosTime;
}

std::optional<TPreciseTime> ModTime(const TArjHeader& header) {
    if (!header.UnixTime()) return std::nullopt;
    return TPreciseTime{header.DosTime, 0};
}

TDecodeResult DecodeMethod(std::uint8_t method, TByteSource& source, TByteSink& sink, std::uint64_t size) {
    if (method == kArjStored) return CopyPiece(source, sink, size);
    if (method == kArjFastest) return UnArjFastest(source, sink, size);
    if (method < kArjFastest) return UnLzhStatic(source, sink, size, kArjLzhParams);
    return TDecodeResult::drUnsupported;
}

}  // namespace

void TUnARJ::ExtractIt(TStream32* archive, TObject*) {
    // The walk reads through ArchiveStream, which a volume change replaces.
    if (archive == nullptr) return;
    selected_.clear();
    volumes_changed_ = 0;
    std::int64_t first = 0;
    if (!OpenVolume(std::max<std::int64_t>(Detection().ArcStartOffset, 0), first)) return;

    // The selection pass stays in this volume: the later ones are asked for only when the extraction
    // reaches them. Damage is reported by the extraction pass, which stops there too.
    TArjHeader header;
    for (std::int64_t cursor = first;
         !GetCancel() && ReadArjHeader(*headers_, cursor, header) == TArjHeaderRead::ahEntry;
         cursor = header.DataOffset + header.PackedSize) {
        if (!Extractable(header) || (header.Flags & kArjContinuedFromPrevious) != 0 || !SelectEntry(EntryName(header)))
            continue;
        selected_.push_back(cursor);
        if (header.FileType != kArjDirectory) {
            TotalPackedSize += header.PackedSize;
            TotalUnpackedSize += header.OriginalSize;
        }
        NewestFileDate = std::max(NewestFileDate, header.ModifiedDate());
    }
    ArchiveTotalBytes = BytesToProcess = TotalUnpackedSize;

    for (std::int64_t cursor = first; cursor >= 0 && !GetCancel();) {
        const TArjHeaderRead read = ReadHeader(cursor, header);
        if (read == TArjHeaderRead::ahEnd) {
            if (!set_continues_) break;
            if (!NextVolume(cursor)) {
                if (!GetCancel()) DoError(ArchiveFile(), {}, "0", ecode::kBrokenMultiVolumeChain);
                break;
            }
            continue;
        }
        if (read != TArjHeaderRead::ahEntry) break;
        const std::int64_t next = header.DataOffset + header.PackedSize;
        cursor = Wanted(header, cursor, volumes_changed_ == 0) ? ExtractEntry(header) : next;
        if (cursor > headers_->Limit()) {
            DoError(ArchiveFile(), {}, "0", ecode::kErrorReadingFile);
            break;
        }
    }
}

bool TUnARJ::OpenVolume(std::int64_t main_offset, std::int64_t& first) {
    headers_.emplace(*ArchiveStream, ArchiveStream->Size(), THeaderReader::kSmallChunk);
    TArjHeader main;
    const TArjHeaderRead read = ReadHeader(main_offset, main);
    if (read == TArjHeaderRead::ahEnd) DoError(ArchiveFile(), {}, "0", ecode::kBadFileHeader);
    if (read != TArjHeaderRead::ahEntry) return false;
    encryption_version_ = main.EncryptionVersion;
    set_continues_ = (main.Flags & kArjContinuesInNext) != 0;
    first = main.DataOffset;
    return true;
}

bool TUnARJ::NextVolume(std::int64_t& first) {
    if (!ChangeReadVolume() || !ArchiveStream || !ArchiveStream->IsValid()) return false;
    ++volumes_changed_;
    return OpenVolume(0, first);
}

TArjHeaderRead TUnARJ::ReadHeader(std::int64_t offset, TArjHeader& header) {
    const TArjHeaderRead read = ReadArjHeader(*headers_, offset, header);
    if (read == TArjHeaderRead::ahDamaged || read == TArjHeaderRead::ahOversized)
        DoError(ArchiveFile(), {}, "0", ecode::kBadFileHeader);
    else if (read == TArjHeaderRead::ahTruncated)
        DoError(ArchiveFile(), {}, "0", ecode::kErrorReadingFile);
    return read;
}

std::string TUnARJ::EntryName(const TArjHeader& header) const {
    std::string name = ConvertName(header.Name, header.NameOrigin());
    while (header.FileType == kArjDirectory && !name.empty() && name.back() == platform::kPathDelim) name.pop_back();
    return name;
}

bool TUnARJ::Wanted(const TArjHeader& header, std::int64_t offset, bool first_volume) {
    // A piece continued from a volume before is part of a file whose start the walk did not take.
    if (!Extractable(header) || (header.Flags & kArjContinuedFromPrevious) != 0) return false;
    if (first_volume) return std::binary_search(selected_.begin(), selected_.end(), offset);
    return SelectEntry(EntryName(header));
}

std::uint32_t TUnARJ::OutputAttributes(const TArjHeader& header) const {
    const bool directory = header.FileType == kArjDirectory;
    // ARJ on Unix stores the file mode; elsewhere the MS-DOS attributes.
    if (header.HostOs != kArjHostUnix) return header.AccessMode & 0xFF;
    if ((header.AccessMode & 0777) == 0) return directory ? platform::kFaDirectory : platform::kFaArchive;
    return platform::UnixModeAttributes(header.AccessMode, directory);
}

std::int64_t TUnARJ::ExtractEntry(const TArjHeader& header) {
    const std::string name = EntryName(header);
    SetOutputName(name);
    std::int64_t next = header.DataOffset + header.PackedSize;
    if (header.FileType == kArjDirectory) {
        CreateStoredDirectory(name, OutputAttributes(header), DosDate(header), ModTime(header));
        ++ProcessedCount;
        ReportCheck(true);
        return next;
    }
    TEntryRecord record;
    record.FileName = CurrentStoredName;
    record.PackedSize = header.PackedSize;
    record.UnpackedSize = header.OriginalSize;
    if (!BeginFile()) {
        SkipEntry(record);
        return next;
    }
    const bool garbled = (header.Flags & kArjGarbled) != 0;
    const int refusal = header.Method > kArjFastest                              ? ecode::kUnknownFileType
                        : garbled && encryption_version_ > kArjLastGarbleVersion ? ecode::kUnsupportedPasswordEncryption
                                                                                 : 0;
    if (refusal != 0) {
        DoError(CurrentStoredName, {}, "0", refusal);
        SkipEntry(record);
        ReportCheck(false);
        return next;
    }

    bool opened = true;
    std::int64_t written = 0;
    std::int64_t done = 0;
    TPiece outcome = TPiece::pBadCrc;
    const auto decode_first = [&] {
        opened = OpenEntryOutput(record);
        // Garbled data under no password is not worth decoding.
        if (!opened || (garbled && Password.empty())) return !opened;
        written = 0;
        outcome = DecodePiece(header, written, done);
        // Bad data or a wrong CRC are what a wrong password gives; anything else is no password's fault.
        return outcome != TPiece::pBadCrc && outcome != TPiece::pBadData;
    };
    const bool decoded = garbled ? FindPassword(decode_first) : decode_first();
    if (!opened) return next;
    if (garbled && !decoded) outcome = TPiece::pStopped;  // every refused password was reported

    // Each volume holds a piece of its own, compressed and checked on its own.
    for (TArjHeader piece = header; outcome == TPiece::pOk && (piece.Flags & kArjContinuesInNext) != 0;) {
        if (!FindContinuation(header, written, piece, next)) {
            outcome = TPiece::pStopped;
            break;
        }
        outcome = DecodePiece(piece, written, done);
        next = piece.DataOffset + piece.PackedSize;
    }
    if (outcome == TPiece::pBadData) DoError(CurrentStoredName, {}, "0", ecode::kDecompressionError);
    if (outcome == TPiece::pTruncated) DoError(CurrentStoredName, {}, "0", ecode::kErrorReadingFile);
    CloseOutput(OutputAttributes(header), DosDate(header), ModTime(header));
    ReportCheck(outcome == TPiece::pOk);
    return next;
}

bool TUnARJ::FindContinuation(const TArjHeader& file, std::int64_t written, TArjHeader& piece, std::int64_t& next) {
    std::int64_t first = 0;
    next = -1;
    if (!NextVolume(first)) {
        DoError(CurrentStoredName, {}, "0", ecode::kBrokenMultiVolumeChain);
        return false;
    }
    TArjHeader found;
    const TArjHeaderRead read = ReadHeader(first, found);
    if (read == TArjHeaderRead::ahEntry) next = first;  // the volume's own entries follow
    if (read != TArjHeaderRead::ahEntry || (found.Flags & kArjContinuedFromPrevious) == 0 || found.Name != file.Name ||
        found.FilePosition != static_cast<std::uint64_t>(written)) {
        DoError(CurrentStoredName, {}, "0", ecode::kBrokenMultiVolumeChain);
        return false;
    }
    piece = found;
    return true;
}

TUnARJ::TPiece TUnARJ::DecodePiece(const TArjHeader& piece, std::int64_t& written, std::int64_t& done) {
    if (ArchiveStream->Seek(piece.DataOffset, TSeekOrigin::soBeginning) != piece.DataOffset) return TPiece::pTruncated;
    Crc32Value = 0xFFFFFFFFu;
    TEntrySource packed(*this, *ArchiveStream, piece.PackedSize, false);
    const bool garbled = (piece.Flags & kArjGarbled) != 0;
    TArjGarbleSource source(packed, garbled ? Password : std::string(), piece.PasswordModifier);
    const std::int64_t size = piece.OriginalSize;
    TEntrySink sink(
        *this, Output.get(),
        [&](std::int64_t step) {
            done += step;
            BytesToProcess -= step;
            ReportProgress(ArchiveTotalBytes, std::max(written + size, done), done);
        },
        size);
    switch (DecodeMethod(piece.Method, source, sink, static_cast<std::uint64_t>(size))) {
        case TDecodeResult::drOk:
            break;
        case TDecodeResult::drTruncated:
            return TPiece::pTruncated;
        case TDecodeResult::drStopped:
            return sink.Overflowed() ? TPiece::pBadData : TPiece::pStopped;
        case TDecodeResult::drDataError:
        case TDecodeResult::drUnsupported:
            return TPiece::pBadData;
    }
    written += size;
    return piece.Crc32 == ~Crc32Value ? TPiece::pOk : TPiece::pBadCrc;
}

}  // namespace kv
