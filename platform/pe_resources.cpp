#include "platform/pe_resources.h"

#include <algorithm>
#include <array>

#include "platform/byte_order.h"

namespace kv::platform {
namespace {

constexpr std::uint32_t kStringTableType = 6;  // RT_STRING
constexpr std::uint32_t kStringsPerBlock = 16;
constexpr std::size_t kMaxSections = 96;  // the loader's own limit
// Real resource directories hold a handful of entries; string tables at most 4096 blocks.
constexpr std::uint32_t kMaxDirectoryEntries = 8192;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;

}  // namespace

bool TPeResources::ReadExact(std::int64_t offset, void* buffer, std::size_t count) const {
    const auto size = static_cast<std::int64_t>(count);
    if (offset < 0 || offset > file_size_ || size > file_size_ - offset) return false;
    return size == 0 || read_at_(offset, buffer, size) == size;
}

std::optional<TPeResources> TPeResources::Open(TReadAt read_at, std::int64_t file_size) {
    TPeResources pe(std::move(read_at), file_size);

    std::array<std::uint8_t, 64> dos{};
    if (!pe.ReadExact(0, dos.data(), dos.size()) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
    const std::int64_t nt = LoadLE32(&dos[0x3C]);

    std::array<std::uint8_t, 24> file_header{};
    if (!pe.ReadExact(nt, file_header.data(), file_header.size())) return std::nullopt;
    if (file_header[0] != 'P' || file_header[1] != 'E' || file_header[2] != 0 || file_header[3] != 0) {
        return std::nullopt;
    }
    const std::size_t section_count = LoadLE16(&file_header[6]);
    const std::size_t optional_size = LoadLE16(&file_header[20]);
    if (section_count == 0 || section_count > kMaxSections) return std::nullopt;

    std::vector<std::uint8_t> optional(optional_size);
    if (!pe.ReadExact(nt + 24, optional.data(), optional.size()) || optional_size < 2) return std::nullopt;
    std::size_t count_at = 0;
    std::size_t directories_at = 0;
    switch (LoadLE16(optional.data())) {
        case 0x10B:
            count_at = 92, directories_at = 96;
            break;  // PE32
        case 0x20B:
            count_at = 108, directories_at = 112;
            break;  // PE32+
        default:
            return std::nullopt;
    }
    constexpr std::size_t kResourceDirectory = 2;
    const std::size_t resource_entry = directories_at + kResourceDirectory * 8;
    if (optional_size < resource_entry + 8 || LoadLE32(&optional[count_at]) <= kResourceDirectory) return std::nullopt;
    const std::uint32_t resource_rva = LoadLE32(&optional[resource_entry]);
    const std::uint32_t resource_size = LoadLE32(&optional[resource_entry + 4]);
    if (resource_rva == 0 || resource_size == 0) return std::nullopt;

    std::vector<std::uint8_t> table(section_count * 40);
    if (!pe.ReadExact(nt + 24 + static_cast<std::int64_t>(optional_size), table.data(), table.size())) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < section_count; ++i) {
        const std::uint8_t* s = &table[i * 40];
        pe.sections_.push_back({LoadLE32(s + 12), LoadLE32(s + 8), LoadLE32(s + 20), LoadLE32(s + 16)});
    }

    const auto root = pe.RvaToOffset(resource_rva);
    if (!root) return std::nullopt;
    pe.resource_root_ = *root;
    pe.resource_size_ = static_cast<std::uint32_t>(std::min<std::int64_t>(resource_size, file_size - *root));
    return pe;
}

std::optional<std::int64_t> TPeResources::RvaToOffset(std::uint32_t rva) const {
    for (const Section& s : sections_) {
        const std::uint64_t extent = std::max(s.VirtualSize, s.RawSize);
        if (rva < s.VirtualAddress || rva - s.VirtualAddress >= extent) continue;
        const std::uint32_t delta = rva - s.VirtualAddress;
        if (delta >= s.RawSize) return std::nullopt;  // lies in the zero-filled tail, not in the file
        const std::int64_t offset = static_cast<std::int64_t>(s.RawOffset) + delta;
        return offset < file_size_ ? std::optional<std::int64_t>(offset) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<TPeResources::DirectoryEntry> TPeResources::FindEntry(std::uint32_t offset,
                                                                    std::optional<std::uint32_t> id) const {
    std::array<std::uint8_t, 16> header{};
    if (offset > resource_size_ || resource_size_ - offset < header.size()) return std::nullopt;
    if (!ReadExact(resource_root_ + offset, header.data(), header.size())) return std::nullopt;
    const std::uint32_t named = LoadLE16(&header[12]);
    const std::uint32_t total = std::min(named + LoadLE16(&header[14]), kMaxDirectoryEntries);
    const std::uint32_t available = (resource_size_ - offset - 16) / 8;
    const std::uint32_t count = std::min(total, available);
    if (count == 0) return std::nullopt;

    std::vector<std::uint8_t> entries(static_cast<std::size_t>(count) * 8);
    if (!ReadExact(resource_root_ + offset + 16, entries.data(), entries.size())) return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = &entries[static_cast<std::size_t>(i) * 8];
        const std::uint32_t name = LoadLE32(e);
        const bool is_named = (name & kSubdirectoryBit) != 0;
        if (id && (is_named || name != *id)) continue;
        const std::uint32_t target = LoadLE32(e + 4);
        return DirectoryEntry{(target & kSubdirectoryBit) != 0, target & ~kSubdirectoryBit};
    }
    return std::nullopt;
}

std::optional<std::u16string> TPeResources::LoadString(std::uint32_t id, std::size_t max_chars) const {
    if (id > 0xFFFF) return std::nullopt;
    const auto type = FindEntry(0, kStringTableType);
    if (!type || !type->IsDirectory) return std::nullopt;
    const auto block = FindEntry(type->Offset, id / kStringsPerBlock + 1);
    if (!block || !block->IsDirectory) return std::nullopt;
    const auto language = FindEntry(block->Offset, std::nullopt);
    if (!language || language->IsDirectory) return std::nullopt;

    std::array<std::uint8_t, 16> data_entry{};
    if (language->Offset > resource_size_ || resource_size_ - language->Offset < data_entry.size() ||
        !ReadExact(resource_root_ + language->Offset, data_entry.data(), data_entry.size())) {
        return std::nullopt;
    }
    const auto data = RvaToOffset(LoadLE32(&data_entry[0]));
    if (!data) return std::nullopt;
    const std::int64_t data_end = *data + std::min<std::int64_t>(LoadLE32(&data_entry[4]), file_size_ - *data);

    // A block holds 16 strings, each a 16-bit length followed by that many UTF-16 units.
    std::int64_t pos = *data;
    for (std::uint32_t index = 0;; ++index) {
        std::array<std::uint8_t, 2> length_bytes{};
        if (pos + 2 > data_end || !ReadExact(pos, length_bytes.data(), 2)) return std::nullopt;
        const std::int64_t length = LoadLE16(length_bytes.data());
        pos += 2;
        if (index == id % kStringsPerBlock) {
            const std::int64_t wanted = std::min<std::int64_t>(length, static_cast<std::int64_t>(max_chars));
            if (pos + wanted * 2 > data_end) return std::nullopt;
            std::vector<std::uint8_t> raw(static_cast<std::size_t>(wanted) * 2);
            if (!ReadExact(pos, raw.data(), raw.size())) return std::nullopt;
            std::u16string text;
            for (std::size_t i = 0; i < raw.size(); i += 2) text.push_back(static_cast<char16_t>(LoadLE16(&raw[i])));
            return text;
        }
        pos += length * 2;
    }
}

}  // namespace kv::platform
