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
constexpr std::uint8_t kExtUnicodeFileName = 0x44;
constexpr std::uint8_t kExtUnicodeDirName = 0x45;
constexpr std::uint8_t kExtUnixMode = 0x50;
constexpr std::uint8_t kExtUnixTime = 0x54;
constexpr std::uint8_t kFolderSeparator = 0xFF;
constexpr std::size_t kOsByteAt = 23;  // levels 2 and 3
constexpr std::uint8_t kOsOs9 = 'K';
constexpr std::uint16_t kUnicodeFolderSeparator = 0xFFFF;
// A level 3 header's size field may claim up to 4 GiB; no real header comes near this.
constexpr std::int64_t kMaxLevel3Header = 1 << 20;

// The parts of the name that extended headers carry, as bytes and as UTF-8 from UTF-16.
struct TNameParts {
    std::string file;
    std::string dir;
    std::optional<std::string> unicode_file;
    std::optional<std::string> unicode_dir;
};

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16LE up to a zero unit, as UTF-8; the folder separator 0xFFFF becomes "/", and a unit that pairs
// with nothing U+FFFD.
std::string Utf16Name(const std::uint8_t* data, std::size_t size) {
    std::string name;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        char32_t unit = LoadLE16(data + i);
        if (unit == 0) break;
        if (unit == kUnicodeFolderSeparator) {
            name += '/';
            continue;
        }
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < size) {
            const char32_t low = LoadLE16(data + i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit, name);
    }
    return name;
}

void TakeExtendedHeader(std::uint8_t type, const std::uint8_t* data, std::size_t size, TNameParts& parts,
                        TLhaHeader& header) {
    switch (type) {
        case kExtFileName: parts.file = ZeroTerminatedField(data, size); break;
        case kExtDirName:
            parts.dir = ZeroTerminatedField(data, size);
            std::replace(parts.dir.begin(), parts.dir.end(), static_cast<char>(kFolderSeparator), '/');
            break;
        case kExtUnicodeFileName: parts.unicode_file = Utf16Name(data, size); break;
        case kExtUnicodeDirName: parts.unicode_dir = Utf16Name(data, size); break;
        case kExtUnixMode:
            if (size >= 2) header.UnixMode = LoadLE16(data);
            break;
        case kExtUnixTime:
            if (size >= 4) header.UnixTime = LoadLE32(data);
            break;
        default: break;
    }
}

std::string JoinParts(const std::string& dir, const std::string& file) {
    std::string name = dir;
    if (!name.empty() && !file.empty() && name.back() != '/' && name.back() != '\\') name += '/';
    return name + file;
}

// The UTF-16 name wins where the archiver wrote one: the byte name is in a code page it does not name.
void SetName(const TNameParts& parts, TLhaHeader& header) {
    header.UnicodeName = parts.unicode_file.has_value();
    header.Name = header.UnicodeName ? JoinParts(parts.unicode_dir.value_or(parts.dir), *parts.unicode_file)
                                     : JoinParts(parts.dir, parts.file);
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
            TakeExtendedHeader(ext[0], ext.data() + 1, ext.size() - 3, parts, header);
            extended += next_size;
            next_size = LoadLE16(&ext[ext.size() - 2]);
        }
    }
    SetName(parts, header);
    header.DataOffset = offset + total + extended;
    header.PackedSize = packed_field - extended;
    header.NextOffset = offset + total + packed_field;
    return header;
}

// Levels 2 and 3: the size of the whole header, extended headers included, in 2 or 4 bytes, and extended
// header sizes of the same width.
std::optional<TLhaHeader> ReadLevel23(THeaderReader& archive, std::int64_t offset, TLhaHeader header,
                                      const std::uint8_t* fixed) {
    const bool level3 = header.Level == 3;
    const std::int64_t width = level3 ? 4 : 2;
    const std::int64_t first_ext_size_at = level3 ? 28 : 24;
    const auto load = [&](const std::uint8_t* at) -> std::int64_t { return level3 ? LoadLE32(at) : LoadLE16(at); };
    std::int64_t total = LoadLE16(fixed);
    if (level3) {
        // Level 3 keeps its word size (4) where the others keep their header size.
        std::array<std::uint8_t, 4> size{};
        if (total != 4 || !archive.Read(offset + 24, size.data(), 4)) return std::nullopt;
        total = LoadLE32(size.data());
        if (total > kMaxLevel3Header) return std::nullopt;
    }
    // OS-9/68k's archiver leaves the first extended header's size field out of a level 2 header's size.
    std::uint8_t os = 0;
    if (header.Level == 2 && archive.Read(offset + kOsByteAt, &os, 1) && os == kOsOs9) total += 2;
    if (total < first_ext_size_at + width) return std::nullopt;

    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(total));
    if (!archive.Read(offset, bytes.data(), total)) return std::nullopt;
    header.Crc16 = LoadLE16(&bytes[21]);
    header.Os = bytes[kOsByteAt];

    TNameParts parts;
    std::int64_t size_at = first_ext_size_at;
    for (std::int64_t size = load(&bytes[size_at]); size != 0; size = load(&bytes[size_at])) {
        const std::int64_t start = size_at + width;
        if (size < 1 + width || start + size > total) break;
        TakeExtendedHeader(bytes[start], &bytes[start + 1], static_cast<std::size_t>(size - 1 - width), parts, header);
        size_at = start + size - width;
    }
    SetName(parts, header);
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
    if (header.Level > 3) return std::nullopt;
    // A zero size byte ends the archive; only a level 2 header may have a size whose low byte is 0.
    if (fixed[0] == 0 && (header.Level != 2 || fixed[1] == 0)) return std::nullopt;
    if (fixed[2] != '-' || fixed[6] != '-') return std::nullopt;

    header.Method.assign(reinterpret_cast<const char*>(&fixed[2]), 5);
    header.PackedSize = LoadLE32(&fixed[7]);
    header.OriginalSize = LoadLE32(&fixed[11]);
    header.Time = LoadLE32(&fixed[15]);
    header.Attribute = fixed[19];
    return header.Level >= 2 ? ReadLevel23(archive, offset, std::move(header), fixed.data())
                             : ReadLevel01(archive, offset, std::move(header), fixed.data());
}

bool IsLhaArchiveEnd(THeaderReader& archive, std::int64_t offset) {
    const std::uint8_t* first = archive.Fetch(offset, 1);
    return first == nullptr || *first == 0;
}

}  // namespace kv
