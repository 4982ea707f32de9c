#include "engine/readers/cab_headers.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/byte_order.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;

constexpr std::size_t kFixedHeaderSize = 36;
constexpr std::size_t kReserveSizesSize = 4;
constexpr std::size_t kFolderRecordSize = 8;

// Reads `count` bytes at `offset` of the cabinet, within the file.
bool ReadAt(TStream32& stream, std::int64_t size, std::int64_t offset, void* buffer, std::size_t count) {
    const auto wanted = static_cast<std::int64_t>(count);
    return offset >= 0 && offset <= size - wanted && stream.ReadAt(offset, buffer, wanted) == wanted;
}

// A zero-terminated string of the header at `offset`, moving `offset` past it.
std::optional<std::string> ReadHeaderString(TStream32& stream, std::int64_t size, std::int64_t& offset) {
    std::array<char, kCabMaxName> text{};
    const auto available = static_cast<std::size_t>(std::clamp<std::int64_t>(size - offset, 0, kCabMaxName));
    if (!ReadAt(stream, size, offset, text.data(), available)) return std::nullopt;
    const auto end = std::find(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(available), '\0');
    if (end == text.begin() + static_cast<std::ptrdiff_t>(available)) return std::nullopt;
    offset += end - text.begin() + 1;
    return std::string(text.begin(), end);
}

}  // namespace

std::optional<TCabHeader> ReadCabHeader(TStream32& stream, std::int64_t base, std::int64_t size) {
    std::array<std::uint8_t, kFixedHeaderSize> fixed{};
    if (!ReadAt(stream, size, base, fixed.data(), fixed.size()) || std::memcmp(fixed.data(), "MSCF", 4) != 0) {
        return std::nullopt;
    }
    TCabHeader header;
    header.FilesOffset = LoadLE32(&fixed[16]);
    header.VersionMinor = fixed[24];
    header.VersionMajor = fixed[25];
    const std::uint16_t folder_count = LoadLE16(&fixed[26]);
    header.FileCount = LoadLE16(&fixed[28]);
    header.Flags = LoadLE16(&fixed[30]);

    std::int64_t offset = base + static_cast<std::int64_t>(kFixedHeaderSize);
    std::size_t folder_reserve = 0;
    if ((header.Flags & kCabHasReserve) != 0) {
        std::array<std::uint8_t, kReserveSizesSize> sizes{};
        if (!ReadAt(stream, size, offset, sizes.data(), sizes.size())) return std::nullopt;
        offset += static_cast<std::int64_t>(kReserveSizesSize) + LoadLE16(&sizes[0]);
        folder_reserve = sizes[2];
    }
    for (const std::uint16_t link : {kCabHasPrevious, kCabHasNext}) {
        if ((header.Flags & link) == 0) continue;
        const auto cabinet = ReadHeaderString(stream, size, offset);
        const auto disk = cabinet ? ReadHeaderString(stream, size, offset) : std::nullopt;
        if (!disk) return std::nullopt;
        if (link == kCabHasNext) header.NextCabinet = *cabinet;
    }

    // Bounded by the file: a folder table cannot be larger than what is left of it.
    const std::size_t folder_size = kFolderRecordSize + folder_reserve;
    const std::size_t table_size = folder_count * folder_size;
    if (offset > size || static_cast<std::int64_t>(table_size) > size - offset) return std::nullopt;
    std::vector<std::uint8_t> table(table_size);
    if (!ReadAt(stream, size, offset, table.data(), table.size())) return std::nullopt;
    header.FolderTypes.reserve(folder_count);
    for (std::size_t i = 0; i < folder_count; ++i) header.FolderTypes.push_back(LoadLE16(&table[i * folder_size + 6]));
    return header;
}

std::optional<std::uint16_t> CabFolderType(const TCabHeader& header, std::uint16_t folder_index) {
    if (header.FolderTypes.empty()) return std::nullopt;
    switch (folder_index) {
        case kCabFolderFromPrevious:
        case kCabFolderPreviousAndNext: return header.FolderTypes.front();
        case kCabFolderIntoNext: return header.FolderTypes.back();
        default:
            if (folder_index >= header.FolderTypes.size()) return std::nullopt;
            return header.FolderTypes[folder_index];
    }
}

}  // namespace kv
