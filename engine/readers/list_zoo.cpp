#include <algorithm>
#include <array>
#include <string>

#include "engine/core/dates.h"
#include "engine/core/header_reader.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/header_fields.h"
#include "engine/readers/list_walks.h"
#include "platform/byte_order.h"
#include "platform/paths.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;

constexpr std::uint32_t kTag = 0xFDC4A7DC;
constexpr std::int64_t kArchiveHeaderSize = 34;
constexpr std::int64_t kEntrySize = 58;           // up to and including the name and directory lengths
constexpr std::size_t kLongNamesMax = 2 * 255;    // long name and directory, one length byte each
constexpr std::int64_t kCommentMax = 32767;
constexpr std::size_t kShortNameField = 13;
constexpr std::uint8_t kEntryTypeWithLongNames = 2;

// The name of a type 2 entry: its directory and long name where it stores them, else the short name.
std::string StoredName(THeaderReader& archive, std::int64_t offset, const std::uint8_t* entry) {
    std::string name(ZeroTerminatedField(&entry[38], kShortNameField));
    const std::int64_t variable_size = LoadLE16(&entry[51]);
    const std::size_t long_length = entry[56];
    const std::size_t dir_length = entry[57];
    if (entry[4] != kEntryTypeWithLongNames || long_length + dir_length == 0 ||
        static_cast<std::int64_t>(long_length + dir_length) > variable_size) {
        return name;
    }
    std::array<char, kLongNamesMax> bytes{};
    if (!archive.Read(offset + kEntrySize, bytes.data(), static_cast<std::int64_t>(long_length + dir_length))) {
        return name;
    }
    const std::string_view long_name =
        ZeroTerminatedField(reinterpret_cast<const std::uint8_t*>(bytes.data()), long_length);
    if (!long_name.empty()) name = long_name;
    const std::string_view dir =
        ZeroTerminatedField(reinterpret_cast<const std::uint8_t*>(bytes.data() + long_length), dir_length);
    if (dir.empty()) return name;
    std::string path(dir);
    if (path.back() != '/' && path.back() != '\\') path += '/';
    return path + name;
}

std::string ReadComment(THeaderReader& archive, const std::uint8_t* entry) {
    const std::int64_t position = LoadLE32(&entry[32]);
    const std::int64_t length = std::min<std::int64_t>(LoadLE16(&entry[36]), kCommentMax);
    std::string comment;
    if (position == 0 || length == 0 || position + length > archive.Limit()) return comment;
    comment.resize(static_cast<std::size_t>(length));
    if (!archive.Read(position, comment.data(), length)) comment.clear();
    return comment;
}

}  // namespace

void ListZoo(TArcLister& lister) {
    const TArcType type = lister.ArcType();
    const std::int64_t start = lister.Detection().ArcStartOffset;
    THeaderReader archive(lister.Archive(), lister.ArchiveSize(), THeaderReader::kSmallChunk);
    std::array<std::uint8_t, kEntrySize> bytes{};
    if (!archive.Read(start, bytes.data(), kArchiveHeaderSize) || LoadLE32(&bytes[20]) != kTag) return;
    // The second word holds the first-entry offset negated, as a check of the first.
    const std::uint32_t first = LoadLE32(&bytes[24]);
    if (first + LoadLE32(&bytes[28]) != 0) return;

    std::int64_t cursor = start + first;
    while (!lister.GetCancel()) {
        if (cursor + kEntrySize > lister.ArchiveSize() || !archive.Read(cursor, bytes.data(), kEntrySize)) break;
        if (LoadLE32(&bytes[0]) != kTag) break;
        // Each entry points at the next; one that does not lead forward ends the walk.
        const std::int64_t next = LoadLE32(&bytes[6]);
        if (next <= cursor) break;

        const bool deleted = bytes[30] != 0;
        if (!deleted) {
            const std::uint8_t method = bytes[5];
            TEntryRecord record;
            record.FileName = lister.ConvertName(StoredName(archive, cursor, bytes.data()));
            record.FileDate = DosDateTimeToDateTime(SwapDosDate(LoadLE32(&bytes[14])));
            record.FileCRC = LoadLE16(&bytes[18]);
            record.UnpackedSize = LoadLE32(&bytes[20]);
            record.PackedSize = LoadLE32(&bytes[24]);
            record.VersionMadeBy = bytes[28];
            record.VersionNeeded = bytes[29];
            record.CompressMethod = method;
            record.ExternalAttr = 0x20;
            record.CompressMethodName = GetCompressMethodName(type, method, 0, record.ExternalAttr);
            record.FileComment = ReadComment(archive, bytes.data());
            record.HeaderOffset = cursor;
            lister.OfferEntry(std::move(record), cursor, TListedKind::lkFile);
        }
        cursor = next;
    }
}

}  // namespace kv
