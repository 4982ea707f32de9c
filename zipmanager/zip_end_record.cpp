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

constexpr std::uint32_t kSpanMarker = 0x08074B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
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

// The end record's values, and the ZIP64 end record's where one belongs to it.
void TakeFields(TStream32& stream, const std::array<std::uint8_t, kZipEndRecordSize>& plain, TZipEndRecord& record) {
    static_cast<TZipEndValues&>(record) = ZipEndValues(plain.data(), plain.size());
    const TZip64Records zip64 = FindZip64Records(stream, record.Position);
    if (zip64.RecordPosition < 0) return;
    ApplyZip64EndRecord(zip64.Record.data(), record);
    record.Zip64Position = zip64.RecordPosition;
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
        TakeFields(stream, plain, record);
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
    TakeFields(stream, plain, record);
    record.Comment.assign(reinterpret_cast<const char*>(&block[static_cast<std::size_t>(comment_start)]),
                          static_cast<std::size_t>(comment_end - comment_start));
    record.TrailingBytes = n - comment_end;
    record.TrailingIsPadding = IsPadding(&block[static_cast<std::size_t>(comment_end)], record.TrailingBytes);
    return TEndRecordSearch::Found;
}

}  // namespace kv
