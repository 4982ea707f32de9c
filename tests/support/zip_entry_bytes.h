#pragma once

// The packed bytes of the entries of a small, ordinary ZIP file (no ZIP64, no spanning), found through the
// central directory so that entries with a data descriptor get their sizes too. Tests of the codecs use it
// to feed one entry's data to a decoder.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

struct ZipEntryBytes {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc32 = 0;
    std::uint32_t unpacked_size = 0;
    std::string packed;

    std::span<const std::uint8_t> PackedBytes() const {
        return {reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size()};
    }
};

inline std::uint32_t ZipLe(std::string_view bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

// The entries in central-directory order, or nothing when the directory cannot be walked.
inline std::optional<std::vector<ZipEntryBytes>> ReadZipEntries(std::string_view zip) {
    if (zip.size() < 22) return std::nullopt;
    std::size_t end = zip.size() - 22;
    while (ZipLe(zip, end, 4) != 0x06054b50) {
        if (end == 0 || zip.size() - end > 22 + 65535) return std::nullopt;
        --end;
    }
    const std::size_t count = ZipLe(zip, end + 10, 2);
    std::size_t at = ZipLe(zip, end + 16, 4);
    std::vector<ZipEntryBytes> entries;
    for (std::size_t i = 0; i < count; ++i) {
        if (at + 46 > zip.size() || ZipLe(zip, at, 4) != 0x02014b50) return std::nullopt;
        ZipEntryBytes entry;
        entry.flags = static_cast<std::uint16_t>(ZipLe(zip, at + 8, 2));
        entry.method = static_cast<std::uint16_t>(ZipLe(zip, at + 10, 2));
        entry.crc32 = ZipLe(zip, at + 16, 4);
        const std::size_t packed_size = ZipLe(zip, at + 20, 4);
        entry.unpacked_size = ZipLe(zip, at + 24, 4);
        const std::size_t name_size = ZipLe(zip, at + 28, 2);
        const std::size_t central_extra = ZipLe(zip, at + 30, 2) + ZipLe(zip, at + 32, 2);
        const std::size_t local = ZipLe(zip, at + 42, 4);
        if (at + 46 + name_size > zip.size() || local + 30 > zip.size() || ZipLe(zip, local, 4) != 0x04034b50)
            return std::nullopt;
        entry.name = std::string(zip.substr(at + 46, name_size));
        const std::size_t data = local + 30 + ZipLe(zip, local + 26, 2) + ZipLe(zip, local + 28, 2);
        if (data > zip.size() || packed_size > zip.size() - data) return std::nullopt;
        entry.packed = std::string(zip.substr(data, packed_size));
        entries.push_back(std::move(entry));
        at += 46 + name_size + central_extra;
    }
    return entries;
}

}  // namespace kv::test
