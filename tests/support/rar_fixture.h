#pragma once

#include <cstdint>
#include <string>

#include "support/zip_fixture.h"

namespace kv::test {

// Hand-built RAR 1.5-4 blocks (CRCs left 0: the lister does not check them).
struct RarFile {
    std::string name;             // the whole name field
    std::uint16_t flags = 0x8000;
    std::uint32_t packed = 0;     // data bytes written behind the header
    std::uint32_t unpacked = 0;
    std::uint8_t host = 2;        // Windows
    std::uint32_t crc = 0;
    std::uint32_t dos_time = 0x5A2E6C22;
    std::uint8_t method = '3';
    std::uint32_t attributes = 0x20;
    std::uint32_t high_packed = 0;    // with flag 0x100
    std::uint32_t high_unpacked = 0;
};

inline std::string RarMarkerAndMain(std::uint16_t main_flags = 0) {
    std::string out("Rar!\x1A\x07\x00", 7);
    Put16(out, 0);
    out += '\x73';
    Put16(out, main_flags);
    Put16(out, 13);
    out += std::string(6, '\0');
    return out;
}

inline std::string RarFileBlock(const RarFile& f, bool with_data = true) {
    const bool high = (f.flags & 0x100) != 0;
    std::string out;
    Put16(out, 0);
    out += '\x74';
    Put16(out, f.flags);
    Put16(out, static_cast<std::uint32_t>(32 + (high ? 8 : 0) + f.name.size()));
    Put32(out, f.packed);
    Put32(out, f.unpacked);
    out += static_cast<char>(f.host);
    Put32(out, f.crc);
    Put32(out, f.dos_time);
    out += '\x1D';
    out += static_cast<char>(f.method);
    Put16(out, static_cast<std::uint32_t>(f.name.size()));
    Put32(out, f.attributes);
    if (high) {
        Put32(out, f.high_packed);
        Put32(out, f.high_unpacked);
    }
    out += f.name;
    if (with_data) out += std::string(f.packed, 'd');
    return out;
}

inline std::string RarEndBlock() {
    std::string out;
    Put16(out, 0);
    out += '\x7B';
    Put16(out, 0x4000);
    Put16(out, 7);
    return out;
}

// RAR 5: variable-length numbers and blocks (header CRC left 0).
inline std::string Rar5Number(std::uint64_t value) {
    std::string out;
    do {
        std::uint8_t byte = value & 0x7F;
        value >>= 7;
        if (value != 0) byte |= 0x80;
        out += static_cast<char>(byte);
    } while (value != 0);
    return out;
}

inline std::string Rar5Block(std::uint64_t type, std::uint64_t flags, const std::string& fields,
                             const std::string& extra = {}, std::uint64_t data_size = 0) {
    std::string header = Rar5Number(type) + Rar5Number(flags | (extra.empty() ? 0 : 1) | (data_size ? 2 : 0));
    if (!extra.empty()) header += Rar5Number(extra.size());
    if (data_size != 0) header += Rar5Number(data_size);
    header += fields + extra;
    std::string out(4, '\0');
    out += Rar5Number(header.size()) + header;
    return out + std::string(data_size, 'd');
}

inline std::string Rar5Start() {
    return std::string("Rar!\x1A\x07\x01\x00", 8) + Rar5Block(1, 0, Rar5Number(0));
}

}  // namespace kv::test
