#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace kv::test {

// One TAR header block with its checksum; `prefix` fills the ustar prefix field (and sets the
// POSIX magic), `size_field` replaces the octal size (for base-256 sizes), `checksum_format` writes the
// checksum as other writers do (up to the eight bytes of its field).
struct TarHeaderFields {
    std::string name = {};
    std::uint64_t size = 0;
    char type = '0';
    std::string prefix = {};
    std::string size_field = {};
    bool break_checksum = false;
    const char* checksum_format = "%06o";
};

inline std::string TarHeader(const TarHeaderFields& fields) {
    std::string block(512, '\0');
    std::memcpy(&block[0], fields.name.data(), std::min<std::size_t>(fields.name.size(), 100));
    std::memcpy(&block[100], "0000644", 7);
    std::memcpy(&block[108], "0001750", 7);
    std::memcpy(&block[116], "0001750", 7);
    char number[16];
    std::snprintf(number, sizeof number, "%011llo", static_cast<unsigned long long>(fields.size));
    std::memcpy(&block[124], number, 11);
    if (!fields.size_field.empty()) std::memcpy(&block[124], fields.size_field.data(), 12);
    std::memcpy(&block[136], "14524505460", 11);  // 2021-05-26
    block[156] = fields.type;
    if (!fields.prefix.empty()) {
        std::memcpy(&block[257], "ustar\0" "00", 8);
        std::memcpy(&block[345], fields.prefix.data(), std::min<std::size_t>(fields.prefix.size(), 155));
    } else {
        std::memcpy(&block[257], "ustar  ", 8);
    }
    unsigned sum = 8 * ' ';
    for (std::size_t i = 0; i < 512; ++i) {
        if (i < 148 || i >= 156) sum += static_cast<unsigned char>(block[i]);
    }
    const unsigned checksum = sum + (fields.break_checksum ? 1 : 0);
    const int written = std::snprintf(number, sizeof number, fields.checksum_format, checksum);
    std::memcpy(&block[148], number, std::min(static_cast<std::size_t>(written) + 1, std::size_t{8}));
    return block;
}

// `block` with `bytes` written at `at` and its checksum made again.
inline std::string WithTarField(std::string block, std::size_t at, const std::string& bytes) {
    std::memcpy(&block[at], bytes.data(), bytes.size());
    std::memset(&block[148], ' ', 8);
    unsigned sum = 0;
    for (const char c : block) sum += static_cast<unsigned char>(c);
    char number[8];
    std::snprintf(number, sizeof number, "%06o", sum);
    std::memcpy(&block[148], number, 7);
    return block;
}

// The data of a member padded to whole blocks.
inline std::string TarData(const std::string& data) {
    return data + std::string((512 - data.size() % 512) % 512, '\0');
}

// A member with its header and data.
inline std::string TarMember(TarHeaderFields fields, const std::string& data) {
    fields.size = data.size();
    return TarHeader(fields) + TarData(data);
}

// A pax record "length key=value\n" (the length counts itself).
inline std::string PaxRecord(const std::string& key, const std::string& value) {
    const std::string body = " " + key + "=" + value + "\n";
    std::size_t length = body.size() + 1;
    while (std::to_string(length).size() + body.size() != length) ++length;
    return std::to_string(length) + body;
}

inline std::string TarEnd() { return std::string(1024, '\0'); }

}  // namespace kv::test
