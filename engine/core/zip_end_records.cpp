#include "engine/core/zip_end_records.h"

#include "platform/byte_order.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;
using platform::LoadLE64;

bool IsRecord(const std::uint8_t* p, std::uint8_t third, std::uint8_t fourth) {
    return p[0] == 'P' && p[1] == 'K' && p[2] == third && p[3] == fourth;
}

bool ReadAt(TStream32& stream, std::int64_t position, std::uint8_t* buffer, std::int64_t size) {
    return position >= 0 && stream.ReadAt(position, buffer, size) == size;
}

// A ZIP64 end record at `position` whose directory fits in a file of `file_size` bytes.
bool ReadZip64EndRecord(TStream32& stream, std::int64_t position, std::int64_t file_size, TZip64Records& found) {
    std::uint8_t* record = found.Record.data();
    if (!ReadAt(stream, position, record, kZip64EndRecordSize) || !IsRecord(record, 0x06, 0x06)) return false;
    const auto size = static_cast<std::uint64_t>(file_size);
    if (LoadLE64(record + 40) > size || LoadLE64(record + 48) > size) return false;
    found.RecordPosition = position;
    return true;
}

}  // namespace

TZipEndValues ZipEndValues(const std::uint8_t* record, std::size_t size) {
    TZipEndValues values;
    values.ThisDisk = LoadLE16(record + 4);
    values.CentralDisk = LoadLE16(record + 6);
    values.EntriesOnDisk = LoadLE16(record + 8);
    values.TotalEntries = LoadLE16(record + 10);
    values.CentralSize = LoadLE32(record + 12);
    const bool wide = size == static_cast<std::size_t>(kZipWideEndRecordSize);
    values.CentralOffset = wide ? LoadLE64(record + 16) : LoadLE32(record + 16);
    values.CommentLength = LoadLE16(record + (wide ? 24 : 20));
    return values;
}

TZip64Records FindZip64Records(TStream32& stream, std::int64_t end_position) {
    TZip64Records found;
    const std::int64_t locator_at = end_position - kZip64LocatorSize;
    if (!ReadAt(stream, locator_at, found.Locator.data(), kZip64LocatorSize) || !IsRecord(found.Locator.data(), 0x06, 0x07))
        return found;
    found.HasLocator = true;
    const std::int64_t file_size = stream.Size();
    const std::uint64_t stored = LoadLE64(&found.Locator[8]);
    if (stored <= static_cast<std::uint64_t>(locator_at) &&
        ReadZip64EndRecord(stream, static_cast<std::int64_t>(stored), file_size, found)) {
        return found;
    }
    ReadZip64EndRecord(stream, locator_at - kZip64EndRecordSize, file_size, found);
    return found;
}

void ApplyZip64EndRecord(const std::uint8_t* record, TZipEndValues& values) {
    values.Zip64 = true;
    values.ThisDisk = LoadLE32(record + 16);
    values.CentralDisk = LoadLE32(record + 20);
    values.EntriesOnDisk = LoadLE64(record + 24);
    values.TotalEntries = LoadLE64(record + 32);
    values.CentralSize = LoadLE64(record + 40);
    values.CentralOffset = LoadLE64(record + 48);
}

TZipEndValues ZipEndValuesOf(const TArcDetection& detection) {
    const std::size_t size = detection.EndRecord.size();
    if (size != static_cast<std::size_t>(kZipEndRecordSize) && size != static_cast<std::size_t>(kZipWideEndRecordSize))
        return {};
    TZipEndValues values = ZipEndValues(detection.EndRecord.data(), size);
    if (detection.ZipLayoutFlags.Has(htEnding64)) ApplyZip64EndRecord(detection.Zip64EndRecord.data(), values);
    return values;
}

}  // namespace kv
