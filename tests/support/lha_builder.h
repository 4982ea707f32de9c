#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "engine/core/crc.h"
#include "support/old_formats_fixture.h"

namespace kv::test {

// One hand-made LHA entry: the header of the chosen level (2 or 3 carry the name in extended headers;
// 0 and 1 in the base header) with its data stored as they are, the CRC-16 computed from them.
class LhaEntry {
public:
    LhaEntry& Level(int value) { return Set(level, value); }
    LhaEntry& Method(std::string value) { return Set(method, std::move(value)); }
    // In the base header (levels 0, 1) or a file name header (2, 3).
    LhaEntry& Name(std::string value) { return Set(name, std::move(value)); }
    // A folder header (0xFF between folders), levels 1 to 3.
    LhaEntry& Dir(std::string value) { return Set(dir, std::move(value)); }
    // Stored as they are, and taken as the original.
    LhaEntry& Data(std::string value) { return Set(data, std::move(value)); }
    // MS-DOS for levels 0 and 1, Unix for 2 and 3.
    LhaEntry& Time(std::uint32_t value) { return Set(time, value); }
    LhaEntry& Os(std::uint8_t value) { return Set(os, value); }
    LhaEntry& UnixMode(std::uint16_t value) { return Set(unix_mode, std::optional<std::uint16_t>(value)); }
    // A little-endian field of `size` bytes at `at` of a header.
inline std::uint32_t LittleField(const std::string& bytes, std::size_t at, unsigned size) {
    std::uint32_t value = 0;
    for (unsigned i = size; i-- > 0;) value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + i));
    return value;
}

// UTF-16LE bytes of a Unicode name header.
    LhaEntry& Utf16Name(std::string value) { return Set(utf16_name, std::optional<std::string>(std::move(value))); }

    std::string Bytes() const {
        std::string exts[4];  // the extended headers, each without its trailing size field
        std::size_t count = 0;
        const auto add = [&](std::uint8_t type, const std::string& body) { exts[count++] = std::string(1, static_cast<char>(type)) + body; };
        if (level >= 2 && !name.empty()) add(0x01, name);
        if (level >= 1 && !dir.empty()) add(0x02, dir);
        if (utf16_name) add(0x44, *utf16_name);
        if (unix_mode) add(0x50, LeBytes().u16(*unix_mode).bytes);
        const unsigned width = level == 3 ? 4 : 2;
        // Each extended header ends with the size of the next one; the base header holds the first size.
        std::string chain;
        for (std::size_t i = 0; i < count; ++i) {
            chain += exts[i];
            const std::size_t next = i + 1 < count ? exts[i + 1].size() + width : 0;
            chain += width == 4 ? LeBytes().u32(static_cast<std::uint32_t>(next)).bytes : LeBytes().u16(static_cast<unsigned>(next)).bytes;
        }
        const std::size_t first = count > 0 ? exts[0].size() + width : 0;
        const std::uint16_t crc = UpdateCrc16(0, data.data(), data.size());
        const auto original = static_cast<std::uint32_t>(data.size());
        LeBytes h;
        if (level <= 1) {
            const std::size_t base = 22 + name.size() + 2 + (level == 1 ? 3 : 0);
            const std::size_t packed = data.size() + (level == 1 ? chain.size() : 0);
            h.u8(static_cast<unsigned>(base - 2)).u8(0).text(method).u32(static_cast<std::uint32_t>(packed)).u32(original);
            h.u32(time).u8(0x20).u8(static_cast<unsigned>(level)).u8(static_cast<unsigned>(name.size()));
            h.text(name).u16(crc);
            if (level == 1) h.u8(os).u16(static_cast<unsigned>(first));
            return h.bytes + chain + data;
        }
        const std::size_t fixed = level == 3 ? 28 + 4 : 24 + 2;
        const std::size_t total = fixed + chain.size();
        h.u16(level == 3 ? 4 : static_cast<unsigned>(total)).text(method).u32(static_cast<std::uint32_t>(data.size()));
        h.u32(original).u32(time).u8(0x20).u8(static_cast<unsigned>(level)).u16(crc).u8(os);
        if (level == 3) h.u32(static_cast<std::uint32_t>(total)).u32(static_cast<std::uint32_t>(first));
        else h.u16(static_cast<unsigned>(first));
        return h.bytes + chain + data;
    }

private:
    template <class T, class V>
    LhaEntry& Set(T& field, V value) {
        field = std::move(value);
        return *this;
    }

    int level = 2;
    std::string method = "-lh0-";
    std::string name;
    std::string dir;
    std::string data;
    std::uint32_t time = 0x5A8C6000;
    std::uint8_t os = 'U';
    std::optional<std::uint16_t> unix_mode;
    std::optional<std::string> utf16_name;
};

// A little-endian field of `size` bytes at `at` of a header.
inline std::uint32_t LittleField(const std::string& bytes, std::size_t at, unsigned size) {
    std::uint32_t value = 0;
    for (unsigned i = size; i-- > 0;) value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + i));
    return value;
}

// UTF-16LE bytes of an ASCII or BMP text given as UTF-16 code units.
inline std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace kv::test
