#include "engine/readers/rar_headers.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "engine/core/oem_names.h"
#include "platform/byte_order.h"
#include "platform/file_attributes_linux.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;

constexpr std::uint32_t kUnixTypeMask = 0xF000;
constexpr std::uint32_t kUnixDirectory = 0x4000;

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string Utf16ToUtf8(const std::vector<std::uint16_t>& units) {
    constexpr std::uint32_t kReplacement = 0xFFFD;
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::uint32_t unit = units[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? kReplacement : unit);
        }
    }
    return out;
}

}  // namespace

std::optional<TRarBlockPrefix> ParseRarBlockPrefix(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kRarBlockPrefix) return std::nullopt;
    TRarBlockPrefix prefix;
    prefix.Type = bytes[2];
    prefix.Flags = LoadLE16(&bytes[3]);
    prefix.HeaderSize = LoadLE16(&bytes[5]);
    if (prefix.HeaderSize < kRarBlockPrefix) return std::nullopt;
    if ((prefix.Flags & kRarLongBlock) != 0 && prefix.HeaderSize >= kRarBlockPrefix + 4 &&
        bytes.size() >= kRarBlockPrefix + 4) {
        prefix.AddedSize = LoadLE32(&bytes[7]);
    }
    return prefix;
}

bool TRarFileHeader::IsDirectory() const { return (DosAttributes() & platform::kFaDirectory) != 0; }

std::uint32_t TRarFileHeader::DosAttributes() const {
    if (HostOs != kRarHostUnix) return Attributes;
    return (Attributes & kUnixTypeMask) == kUnixDirectory ? platform::kFaDirectory : platform::kFaArchive;
}

std::optional<TRarFileHeader> ParseRarFileHeader(std::span<const std::uint8_t> header) {
    if (header.size() < kRarFileHeaderFixed) return std::nullopt;
    TRarFileHeader file;
    file.Flags = LoadLE16(&header[3]);
    file.HeaderSize = LoadLE16(&header[5]);
    if (file.HeaderSize < kRarFileHeaderFixed || file.HeaderSize > header.size()) return std::nullopt;
    std::uint64_t packed = LoadLE32(&header[7]);
    std::uint64_t unpacked = LoadLE32(&header[11]);
    file.HostOs = header[15];
    file.FileCrc = LoadLE32(&header[16]);
    file.DosTime = LoadLE32(&header[20]);
    file.UnpackVersion = header[24];
    file.Method = header[25];
    const std::size_t name_size = LoadLE16(&header[26]);
    file.Attributes = LoadLE32(&header[28]);

    std::size_t name_at = kRarFileHeaderFixed;
    if ((file.Flags & kRarFileHighSizes) != 0) {
        if (file.HeaderSize < kRarFileHeaderFixed + 8) return std::nullopt;
        packed |= static_cast<std::uint64_t>(LoadLE32(&header[32])) << 32;
        unpacked |= static_cast<std::uint64_t>(LoadLE32(&header[36])) << 32;
        name_at += 8;
    }
    // Sizes beyond the signed range cannot be real; they would turn negative further on.
    constexpr std::uint64_t kMaxSize = static_cast<std::uint64_t>(INT64_MAX);
    if (packed > kMaxSize || unpacked > kMaxSize) return std::nullopt;
    file.PackedSize = static_cast<std::int64_t>(packed);
    file.UnpackedSize = static_cast<std::int64_t>(unpacked);
    if (name_at + name_size > file.HeaderSize) return std::nullopt;

    const auto field = header.subspan(name_at, name_size);
    if ((file.Flags & kRarFileUnicodeName) != 0) {
        file.Name = DecodeRarUnicodeName(field);
        file.NameIsUtf8 = true;
    } else {
        // The name runs to its zero byte, if any, within the field.
        const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
        file.Name.assign(field.begin(), end);
        // RAR for Unix stores names in the system's encoding, which is UTF-8, not an OEM code page.
        file.NameIsUtf8 = file.HostOs == kRarHostUnix && IsValidUtf8(file.Name);
    }
    return file;
}

std::string DecodeRarUnicodeName(std::span<const std::uint8_t> field) {
    const auto zero = std::find(field.begin(), field.end(), std::uint8_t{0});
    if (zero == field.end()) return std::string(field.begin(), field.end());

    const auto plain = field.first(static_cast<std::size_t>(zero - field.begin()));
    const auto packed = field.subspan(plain.size() + 1);
    // Runs copy from the plain name and stop at its end; every other unit consumes packed bytes.
    std::vector<std::uint16_t> units;
    if (packed.empty()) return std::string(plain.begin(), plain.end());
    const std::uint16_t high_byte = static_cast<std::uint16_t>(packed[0] << 8);
    std::size_t pos = 1;
    unsigned flag_bits = 0;
    std::uint8_t flags = 0;
    while (pos < packed.size()) {
        if (flag_bits == 0) {
            flags = packed[pos++];
            flag_bits = 8;
            if (pos >= packed.size()) break;
        }
        flag_bits -= 2;
        switch ((flags >> flag_bits) & 3) {
            case 0:
                units.push_back(packed[pos++]);
                break;
            case 1:
                units.push_back(static_cast<std::uint16_t>(high_byte | packed[pos++]));
                break;
            case 2:
                if (pos + 1 >= packed.size()) return Utf16ToUtf8(units);
                units.push_back(LoadLE16(&packed[pos]));
                pos += 2;
                break;
            default: {
                const std::uint8_t run = packed[pos++];
                if ((run & 0x80) != 0) {
                    if (pos >= packed.size()) return Utf16ToUtf8(units);
                    const std::uint8_t correction = packed[pos++];
                    for (int n = (run & 0x7F) + 2; n > 0 && units.size() < plain.size(); --n) {
                        const auto low = static_cast<std::uint8_t>(plain[units.size()] + correction);
                        units.push_back(static_cast<std::uint16_t>(high_byte | low));
                    }
                } else {
                    for (int n = run + 2; n > 0 && units.size() < plain.size(); --n) {
                        units.push_back(plain[units.size()]);
                    }
                }
                break;
            }
        }
    }
    return Utf16ToUtf8(units);
}

}  // namespace kv
