#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv::test {

// One entry of a ZIP archive as the codec tests need it: what the central directory says and the packed
// bytes behind the local header. Only what the corpus samples use: no ZIP64, no spanning.
struct ZipEntryBytes {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t unpacked_size = 0;
    std::vector<std::uint8_t> packed;
};

namespace zip_entry_bytes_detail {
inline std::uint32_t Get(const std::string& bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}
}  // namespace zip_entry_bytes_detail

// The entries of a whole archive held in `zip`, in central-directory order; empty when the end record or a
// header is missing or runs past the end.
inline std::vector<ZipEntryBytes> ReadZipEntries(const std::string& zip) {
    using zip_entry_bytes_detail::Get;
    const std::size_t end_record = zip.rfind(std::string("PK\x05\x06", 4));
    if (end_record == std::string::npos || end_record + 22 > zip.size()) return {};
    std::size_t central = Get(zip, end_record + 16, 4);
    const std::uint32_t count = Get(zip, end_record + 10, 2);
    std::vector<ZipEntryBytes> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (central + 46 > zip.size() || zip.compare(central, 4, "PK\x01\x02") != 0) return {};
        ZipEntryBytes entry;
        entry.flags = static_cast<std::uint16_t>(Get(zip, central + 8, 2));
        entry.method = static_cast<std::uint16_t>(Get(zip, central + 10, 2));
        entry.crc32 = Get(zip, central + 16, 4);
        const std::uint32_t packed_size = Get(zip, central + 20, 4);
        entry.unpacked_size = Get(zip, central + 24, 4);
        const std::uint32_t name_length = Get(zip, central + 28, 2);
        const std::size_t local = Get(zip, central + 42, 4);
        if (central + 46 + name_length > zip.size() || local + 30 > zip.size()) return {};
        entry.name = zip.substr(central + 46, name_length);
        const std::size_t data = local + 30 + Get(zip, local + 26, 2) + Get(zip, local + 28, 2);
        if (data > zip.size() || packed_size > zip.size() - data) return {};
        entry.packed.assign(zip.begin() + static_cast<std::ptrdiff_t>(data),
                            zip.begin() + static_cast<std::ptrdiff_t>(data + packed_size));
        entries.push_back(std::move(entry));
        central += 46 + name_length + Get(zip, central + 30, 2) + Get(zip, central + 32, 2);
    }
    return entries;
}

}  // namespace kv::test
