#include "engine/readers/lha_header.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/readers/header_fields.h"
#include "platform/byte_order.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;

constexpr std::int64_t kFixedSize = 22;  // up to and including the name length (levels 0 and 1) or level byte
constexpr std::uint8_t kExtFileName = 0x01;
constexpr std::uint8_t kExtDirName = 0x02;
constexpr std::uint8_t kFolderSeparator = 0xFF;

// The parts of the name that extended headers carry.
struct TNameParts {
    std::string file;
    std::string dir;
};

void TakeExtendedHeader(std::uint8_t type, const std::uint8_t* data, std::size_t size, TNameParts& parts) {
    if (type == kExtFileName) {
        parts.file = ZeroTerminatedField(data, size);
    } else if (type == kExtDirName) {
        parts.dir = ZeroTerminatedField(data, size);
        std::replace(parts.dir.begin(), parts.dir.end(), static_cast<char>(kFolderSeparator), '/');
    }
}

std::string JoinName(const TNameParts& parts) {
    std::string name = parts.dir;
    if (!name.empty() && !parts.file.empty() && name.back() != '/' && name.back() != '\\') name += '/';
    return name + parts.file;
}

// Level 0 and 1: a one-byte header size counting from the checksum byte on.
std::optional<TLhaHeader> ReadLevel01(THeaderReader& archive, std::int64_t offset,
                                      TLhaHeader header, const std::uint8_t* fixed) {
    const std::int64_t total = fixed[0] + 2;
    const std::int64_t name_length = fixed[21];
    const std::int64_t trailer = header.Level == 1 ? 5 : 2;  // CRC-16, then OS byte and first extension size
    if (total < kFixedSize + name_length + trailer) return std::nullopt;

    std::array<std::uint8_t, 257> bytes{};
    if (!archive.Read(offset, bytes.data(), total)) return std::nullopt;
    TNameParts parts;
    // Some systems keep a file comment behind a zero byte inside the name field.
    parts.file = ZeroTerminatedField(&bytes[kFixedSize], static_cast<std::size_t>(name_length));
    const std::int64_t after_name = kFixedSize + name_length;
    header.Crc16 = LoadLE16(&bytes[after_name]);
    if (total > after_name + 2) header.Os = bytes[after_name + 2];
    const std::int64_t packed_field = header.PackedSize;

    std::int64_t extended = 0;
    if (header.Level == 1) {
        // Extended headers follow the base header and are counted in the packed size.
        std::vector<std::uint8_t> ext;
        std::int64_t next_size = LoadLE16(&bytes[total - 2]);
        while (next_size != 0) {
            const std::int64_t at = offset + total + extended;
            if (next_size < 3 || extended + next_size > packed_field) break;
            ext.resize(static_cast<std::size_t>(next_size));
            if (!archive.Read(at, ext.data(), next_size)) break;
            TakeExtendedHeader(ext[0], ext.data() + 1, ext.size() - 3, parts);
            extended += next_size;
            next_size = LoadLE16(&ext[ext.size() - 2]);
        }
    }
    header.Name = JoinName(parts);
    header.DataOffset = offset + total + extended;
    header.PackedSize = packed_field - extended;
    header.NextOffset = offset + total + packed_field;
    return header;
}

// Level 2: a two-byte size of the whole header, extended headers included.
std::optional<TLhaHeader> ReadLevel2(THeaderReader& archive, std::int64_t offset, TLhaHeader header,
                                     const std::uint8_t* fixed) {
    constexpr std::int64_t kFirstExtSizeAt = 24;
    const std::int64_t total = LoadLE16(fixed);
    if (total < kFirstExtSizeAt + 2) return std::nullopt;

    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(total));
    if (!archive.Read(offset, bytes.data(), total)) return std::nullopt;
    header.Crc16 = LoadLE16(&bytes[21]);
    header.Os = bytes[23];

    TNameParts parts;
    std::int64_t size_at = kFirstExtSizeAt;
    for (std::int64_t size = LoadLE16(&bytes[size_at]); size != 0; size = LoadLE16(&bytes[size_at])) {
        const std::int64_t start = size_at + 2;
        if (size < 3 || start + size > total) break;
        TakeExtendedHeader(bytes[start], &bytes[start + 1], static_cast<std::size_t>(size - 3), parts);
        size_at = start + size - 2;
    }
    header.Name = JoinName(parts);
    header.DataOffset = offset + total;
    header.NextOffset = offset + total + header.PackedSize;
    return header;
}

}  // namespace

std::optional<TLhaHeader> ReadLhaHeader(THeaderReader& archive, std::int64_t offset) {
    std::array<std::uint8_t, kFixedSize> fixed{};
    if (!archive.Read(offset, fixed.data(), kFixedSize)) {
        return std::nullopt;
    }
    TLhaHeader header;
    header.Level = fixed[20];
    if (header.Level > 2) return std::nullopt;
    // A zero size byte ends the archive; only a level 2 header may have a size whose low byte is 0.
    if (fixed[0] == 0 && (header.Level != 2 || fixed[1] == 0)) return std::nullopt;
    if (fixed[2] != '-' || fixed[6] != '-') return std::nullopt;

    header.Method.assign(reinterpret_cast<const char*>(&fixed[2]), 5);
    header.PackedSize = LoadLE32(&fixed[7]);
    header.OriginalSize = LoadLE32(&fixed[11]);
    header.Time = LoadLE32(&fixed[15]);
    header.Attribute = fixed[19];
    return header.Level == 2 ? ReadLevel2(archive, offset, std::move(header), fixed.data())
                             : ReadLevel01(archive, offset, std::move(header), fixed.data());
}

}  // namespace kv
