#include "zipmanager/zip_end_record.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/core/zip_cipher.h"
#include "platform/byte_order.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;
using platform::LoadLE64;

constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr std::uint32_t kSpanMarker = 0x08074B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::int64_t kLocatorSize = 20;
constexpr std::int64_t kZip64EndSize = 56;
constexpr std::int64_t kScanBlock = kZipMaxCommentLength + kZipEndRecordSize;
constexpr std::int64_t kPaddingLimit = 512;

// The 22 bytes of an end record at `p` in plain form: "PK" as stored, "PL" deciphered with the header keys.
// False when `p` holds no end record signature.
bool PlainEndRecord(const std::uint8_t* p, std::array<std::uint8_t, kZipEndRecordSize>& plain) {
    if (p[0] != 'P' || (p[1] != 'K' && p[1] != 'L') || p[2] != 0x05 || p[3] != 0x06) return false;
    std::copy(p, p + kZipEndRecordSize, plain.begin());
    if (p[1] == 'L') DecipherHeader(plain.data(), TCipheredRecord::crEnd);
    return true;
}

void TakeFields(const std::uint8_t* p, TZipEndRecord& record) {
    record.ThisDisk = LoadLE16(p + 4);
    record.CentralDisk = LoadLE16(p + 6);
    record.EntriesOnDisk = LoadLE16(p + 8);
    record.TotalEntries = LoadLE16(p + 10);
    record.CentralSize = LoadLE32(p + 12);
    record.CentralOffset = LoadLE32(p + 16);
}

// Takes the ZIP64 end record at `position` when it is one and its directory size and offset fit in the file.
bool ReadZip64EndAt(TStream32& stream, std::int64_t position, TZipEndRecord& record) {
    std::array<std::uint8_t, kZip64EndSize> buffer{};
    if (position < 0 || stream.ReadAt(position, buffer.data(), kZip64EndSize) != kZip64EndSize ||
        LoadLE32(buffer.data()) != kZip64EndSignature)
        return false;
    const std::uint64_t central_size = LoadLE64(&buffer[40]);
    const std::uint64_t central_offset = LoadLE64(&buffer[48]);
    const auto file_size = static_cast<std::uint64_t>(record.FileSize);
    if (central_size > file_size || central_offset > file_size) return false;
    record.Zip64 = true;
    record.Zip64Position = position;
    record.ThisDisk = LoadLE32(&buffer[16]);
    record.CentralDisk = LoadLE32(&buffer[20]);
    record.EntriesOnDisk = LoadLE64(&buffer[24]);
    record.TotalEntries = LoadLE64(&buffer[32]);
    record.CentralSize = central_size;
    record.CentralOffset = central_offset;
    return true;
}

// A ZIP64 locator right before the end record points at the ZIP64 end record. Its stored offset counts
// from the start of the ZIP data, so behind a stub it falls short; the record then usually lies just
// before the locator.
void ApplyZip64(TStream32& stream, TZipEndRecord& record) {
    const std::int64_t locator_at = record.Position - kLocatorSize;
    std::array<std::uint8_t, kLocatorSize> locator{};
    if (locator_at < 0 || stream.ReadAt(locator_at, locator.data(), kLocatorSize) != kLocatorSize ||
        LoadLE32(locator.data()) != kZip64LocatorSignature)
        return;
    const std::uint64_t stored = LoadLE64(&locator[8]);
    if (stored <= static_cast<std::uint64_t>(locator_at) && ReadZip64EndAt(stream, static_cast<std::int64_t>(stored), record))
        return;
    ReadZip64EndAt(stream, locator_at - kZip64EndSize, record);
}

bool IsPadding(const std::uint8_t* bytes, std::int64_t count) {
    return count < kPaddingLimit && std::all_of(bytes, bytes + count, [](std::uint8_t b) { return b < '/'; });
}

}  // namespace

TEndRecordSearch FindZipEndRecord(TStream32& stream, TZipEndRecord& record) {
    record = TZipEndRecord{};
    const std::int64_t size = stream.Size();
    record.FileSize = size;
    std::array<std::uint8_t, 8> head{};
    if (size >= 8 && stream.ReadAt(0, head.data(), head.size()) == 8)
        record.FirstVolume = LoadLE32(head.data()) == kSpanMarker && LoadLE32(&head[4]) == kLocalSignature;

    if (size < 0 || stream.Seek(std::max<std::int64_t>(size - kZipEndRecordSize, 0),
                                TSeekOrigin::soBeginning) < 0)
        return TEndRecordSearch::SeekFailed;

    std::array<std::uint8_t, kZipEndRecordSize> tail{};
    std::array<std::uint8_t, kZipEndRecordSize> plain{};
    if (size >= kZipEndRecordSize && stream.ReadFull(tail.data(), kZipEndRecordSize) == kZipEndRecordSize &&
        PlainEndRecord(tail.data(), plain)) {
        record.Position = size - kZipEndRecordSize;
        TakeFields(plain.data(), record);
        ApplyZip64(stream, record);
        return TEndRecordSearch::Found;
    }

    const auto n = static_cast<std::int64_t>(std::min<std::int64_t>(size, kScanBlock));
    if (n < kZipEndRecordSize + 1) return TEndRecordSearch::NotFound;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(n));
    if (stream.Seek(size - n, TSeekOrigin::soBeginning) < 0) return TEndRecordSearch::ScanSeekFailed;
    if (stream.ReadFull(block.data(), n) != n) return TEndRecordSearch::ScanReadFailed;

    std::int64_t fallback = -1;
    for (std::int64_t i = n - kZipEndRecordSize - 1; i >= 0; --i) {
        if (!PlainEndRecord(&block[static_cast<std::size_t>(i)], plain)) continue;
        const std::int64_t comment_end = i + kZipEndRecordSize + LoadLE16(&plain[20]);
        if (comment_end == n) {
            fallback = i;
            break;
        }
        if (comment_end < n && fallback < 0) fallback = i;
    }
    if (fallback < 0) return TEndRecordSearch::NotFound;

    PlainEndRecord(&block[static_cast<std::size_t>(fallback)], plain);
    const std::int64_t comment_start = fallback + kZipEndRecordSize;
    const std::int64_t comment_end = comment_start + LoadLE16(&plain[20]);
    record.Position = size - n + fallback;
    TakeFields(plain.data(), record);
    record.Comment.assign(reinterpret_cast<const char*>(&block[static_cast<std::size_t>(comment_start)]),
                          static_cast<std::size_t>(comment_end - comment_start));
    record.TrailingBytes = n - comment_end;
    record.TrailingIsPadding = IsPadding(&block[static_cast<std::size_t>(comment_end)], record.TrailingBytes);
    ApplyZip64(stream, record);
    return TEndRecordSearch::Found;
}

}  // namespace kv
