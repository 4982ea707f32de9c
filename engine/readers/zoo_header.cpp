#include "engine/readers/zoo_header.h"

#include <algorithm>
#include <array>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/readers/header_fields.h"
#include "platform/byte_order.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;

constexpr std::uint32_t kTag = 0xFDC4A7DC;
constexpr std::int64_t kArchiveHeaderSize = 34;
// The part every entry has; the entry that ends the directory may be no longer.
constexpr std::int64_t kFixedEntrySize = 56;
constexpr std::int64_t kCommentMax = 32767;
constexpr std::size_t kShortNameField = 13;
constexpr std::uint8_t kEntryTypeWithVariablePart = 2;
// The variable part: the two lengths, long name, directory, system id (2), attributes (3) and more.
constexpr std::size_t kVariablePartMax = 2 + 2 * 255 + 2 + 3;
constexpr std::uint16_t kSystemUnix = 0;
constexpr std::uint32_t kAttributesHoldUnixMode = 1u << 22;

// Name, directory, system and Unix permissions from a type 2 entry's variable part, where it holds them.
void ReadVariablePart(THeaderReader& archive, const std::uint8_t* fixed, TZooEntry& entry) {
    if (fixed[4] != kEntryTypeWithVariablePart) return;
    const auto size = std::min<std::size_t>(LoadLE16(&fixed[51]), kVariablePartMax);
    std::array<std::uint8_t, kVariablePartMax> part{};
    if (size < 2 || !archive.Read(entry.HeaderAt + kFixedEntrySize, part.data(), static_cast<std::int64_t>(size)))
        return;
    const std::size_t long_length = part[0];
    const std::size_t dir_length = part[1];
    if (size < 2 + long_length + dir_length) return;

    const std::string_view long_name = ZeroTerminatedField(&part[2], long_length);
    if (!long_name.empty()) entry.Name = long_name;
    const std::string_view dir = ZeroTerminatedField(&part[2 + long_length], dir_length);
    if (!dir.empty()) {
        std::string path(dir);
        if (path.back() != '/' && path.back() != '\\') path += '/';
        entry.Name = path + entry.Name;
    }
    const std::size_t system_at = 2 + long_length + dir_length;
    if (size < system_at + 2) return;
    entry.FromUnix = LoadLE16(&part[system_at]) == kSystemUnix;
    if (size < system_at + 5 || !entry.FromUnix) return;
    const std::uint32_t attributes = part[system_at + 2] | (part[system_at + 3] << 8) | (part[system_at + 4] << 16);
    if ((attributes & kAttributesHoldUnixMode) != 0) entry.UnixMode = attributes & 07777;
}

std::string ReadComment(THeaderReader& archive, const std::uint8_t* fixed) {
    const std::int64_t position = LoadLE32(&fixed[32]);
    const std::int64_t length = std::min<std::int64_t>(LoadLE16(&fixed[36]), kCommentMax);
    std::string comment;
    if (position == 0 || length == 0 || position + length > archive.Limit()) return comment;
    comment.resize(static_cast<std::size_t>(length));
    if (!archive.Read(position, comment.data(), length)) comment.clear();
    return comment;
}

TZooEntry ReadEntry(THeaderReader& archive, std::int64_t offset, const std::uint8_t* fixed) {
    TZooEntry entry;
    entry.HeaderAt = offset;
    entry.Method = fixed[5];
    entry.DataAt = LoadLE32(&fixed[10]);
    entry.DosDateTime = SwapDosDate(LoadLE32(&fixed[14]));
    entry.Crc16 = LoadLE16(&fixed[18]);
    entry.OriginalSize = LoadLE32(&fixed[20]);
    entry.PackedSize = LoadLE32(&fixed[24]);
    entry.MajorVersion = fixed[28];
    entry.MinorVersion = fixed[29];
    entry.Name = ZeroTerminatedField(&fixed[38], kShortNameField);
    ReadVariablePart(archive, fixed, entry);
    entry.Comment = ReadComment(archive, fixed);
    return entry;
}

}  // namespace

TZooWalkEnd WalkZoo(THeaderReader& archive, std::int64_t start, const std::function<bool(const TZooEntry&)>& visit) {
    std::array<std::uint8_t, kFixedEntrySize> bytes{};
    if (!archive.Read(start, bytes.data(), kArchiveHeaderSize)) return TZooWalkEnd::zwTruncated;
    // The second word holds the first-entry offset negated, as a check of the first.
    const std::uint32_t first = LoadLE32(&bytes[24]);
    if (LoadLE32(&bytes[20]) != kTag || first + LoadLE32(&bytes[28]) != 0) return TZooWalkEnd::zwBadHeader;

    std::int64_t cursor = start + first;
    for (;;) {
        if (!archive.Read(cursor, bytes.data(), kFixedEntrySize)) return TZooWalkEnd::zwTruncated;
        if (LoadLE32(&bytes[0]) != kTag) return TZooWalkEnd::zwBadHeader;
        const std::int64_t next = LoadLE32(&bytes[6]);
        if (next == 0) return TZooWalkEnd::zwEnd;
        // Each entry points at the next; one that does not lead forward would have the walk go round.
        if (next <= cursor) return TZooWalkEnd::zwBadHeader;
        // A deleted entry is an older version of a file kept in the directory until the archive is packed.
        const bool deleted = bytes[30] != 0;
        if (!deleted && !visit(ReadEntry(archive, cursor, bytes.data()))) return TZooWalkEnd::zwStopped;
        cursor = next;
    }
}

int ZooWalkError(TZooWalkEnd end) {
    switch (end) {
        case TZooWalkEnd::zwBadHeader: return ecode::kBadFileHeader;
        case TZooWalkEnd::zwTruncated: return ecode::kErrorReadingFile;
        case TZooWalkEnd::zwEnd:
        case TZooWalkEnd::zwStopped: break;
    }
    return 0;
}

}  // namespace kv
