// The GZIP family walk: one entry per file. GZIP proper (1F 8B, old 1F 9E) keeps a name, a time and a
// trailer with CRC-32 and size; compress (1F 9D) and the other magics keep nothing but their data.
#include <algorithm>
#include <array>
#include <string>

#include "engine/core/crc.h"
#include "engine/core/dates.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"
#include "engine/readers/format_readers.h"
#include "engine/readers/un_single_file.h"
#include "engine/readers/single_file_entry.h"
#include "platform/byte_order.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;

constexpr std::int64_t kHeaderSize = 10;
constexpr std::int64_t kTrailerSize = 8;  // CRC-32 and the original size modulo 2^32
constexpr std::int64_t kMaxStoredName = 255;
constexpr std::uint8_t kFlagExtra = 0x04;
constexpr std::uint8_t kFlagName = 0x08;
constexpr std::uint8_t kFlagEncrypted = 0x20;

bool IsGzipProper(const std::array<std::uint8_t, 10>& h) { return h[0] == 0x1F && (h[1] == 0x8B || h[1] == 0x9E); }
bool IsCompress(const std::array<std::uint8_t, 10>& h) { return h[0] == 0x1F && h[1] == 0x9D; }

// Name, CRC-32 and sizes of a GZIP member; false when the file is too short for them.
bool ReadGzipFields(TArcLister& lister, std::int64_t start, std::uint8_t flags, TEntryRecord& record) {
    const std::int64_t size = lister.ArchiveSize();
    if (size - start < kHeaderSize + kTrailerSize) return false;
    std::int64_t at = start + kHeaderSize;
    std::int64_t extra = 0;
    if ((flags & kFlagExtra) != 0) {
        std::array<std::uint8_t, 2> length{};
        if (!lister.ReadExact(at, length.data(), 2)) return false;
        extra = LoadLE16(length.data());
        at += 2 + extra;
    }
    if ((flags & kFlagName) != 0 && at < size) {
        std::string name(static_cast<std::size_t>(std::min(kMaxStoredName, size - at)), '\0');
        if (!lister.ReadExact(at, name.data(), static_cast<std::int64_t>(name.size()))) return false;
        name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
        // Mostly written by gzip on Unix, which stores the name's bytes as they are.
        if (!name.empty()) record.FileName = lister.ConvertName(name, TNameOrigin::noOther);
    }
    std::array<std::uint8_t, kTrailerSize> trailer{};
    if (!lister.ReadExact(size - kTrailerSize, trailer.data(), kTrailerSize)) return false;
    record.FileCRC = LoadLE32(trailer.data());
    record.UnpackedSize = LoadLE32(trailer.data() + 4);
    record.PackedSize = std::max<std::int64_t>(size - kTrailerSize - extra, 0);
    return true;
}

}  // namespace

void ListGzip(TArcLister& lister) {
    const std::int64_t start = std::max<std::int64_t>(lister.Detection().ArcStartOffset, 0);
    std::array<std::uint8_t, kHeaderSize> header{};
    if (!lister.ReadExact(start, header.data(), kHeaderSize)) return;

    TEntryRecord record = ArchiveFileRecord(lister);
    const bool gzip = lister.ArcType() == atGZip && IsGzipProper(header);
    if (gzip) {
        if (!ReadGzipFields(lister, start, header[3], record)) return;
        // Only GZIP proper has a flag byte; in the other formats that byte is data.
        record.Encrypted = (header[3] & kFlagEncrypted) != 0;
    } else {
        record.PackedSize = record.UnpackedSize = lister.ArchiveSize() - kHeaderSize;
    }
    // The decoded size is exact; the trailer's may have wrapped past 4 GiB.
    if (!gzip || !lister.ListDecoded || !TakeDecodedSizeAndCrc(lister, record))
        record.UnpackedSize = std::max(record.UnpackedSize, record.PackedSize);
    if (lister.ArcType() == atGZip && !IsCompress(header)) {
        const std::uint32_t unix_time = LoadLE32(&header[4]);
        record.FileDate = UnixTimeToDateTime(unix_time);
        if (unix_time != 0) record.ModTime = TPreciseTime{unix_time, 0};
    }
    record.CompressMethod = header[2];
    TMethodNameExtras extras;
    extras.Magic = {header[0], header[1]};
    record.CompressMethodName =
        GetCompressMethodName(lister.ArcType(), record.CompressMethod, 0, record.ExternalAttr, extras);
    record.HeaderOffset = start;
    lister.OfferEntry(std::move(record), start, TListedKind::lkFile);
}

}  // namespace kv
