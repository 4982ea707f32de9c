#pragma once

#include <cstdint>
#include <string>

#include "engine/core/crc.h"
#include "support/old_formats_fixture.h"

namespace kv::test {

// The fields of one hand-built ARJ basic header that tests vary.
struct ArjFields {
    std::uint8_t FileType = 0;  // 2 makes the main header
    std::uint8_t Flags = 0;
    std::uint8_t Method = 0;
    std::uint8_t PasswordModifier = 0;
    std::uint32_t Crc32 = 0xCAFEF00D;
    std::uint8_t EncryptionVersion = 0;  // the main header's
};

// One ARJ basic header (id, size, fields, name, comment, header CRC, no extended header) and its data,
// stored as it stands.
inline std::string ArjHeader(const ArjFields& f, const std::string& name, const std::string& data) {
    LeBytes fields;
    fields.u8(34).u8(11).u8(1).u8(0).u8(f.Flags).u8(f.Method).u8(f.FileType).u8(f.PasswordModifier).u32(0x5A8C6000);
    fields.u32(static_cast<std::uint32_t>(data.size())).u32(static_cast<std::uint32_t>(data.size())).u32(f.Crc32);
    fields.u16(0).u16(f.FileType == 3 ? 0x10 : 0x20).u8(f.FileType == 2 ? f.EncryptionVersion : 0).u8(0).u32(0);
    fields.text(name).u8(0).u8(0);
    LeBytes h;
    h.u8(0x60).u8(0xEA).u16(static_cast<unsigned>(fields.size())).text(fields.bytes);
    h.u32(Crc32Of(fields.bytes.data(), fields.bytes.size())).u16(0);
    return h.bytes + data;
}

inline std::string ArjHeader(std::uint8_t file_type, const std::string& name, const std::string& data,
                             std::uint8_t flags = 0) {
    return ArjHeader(ArjFields{.FileType = file_type, .Flags = flags}, name, data);
}

// The end marker.
inline std::string ArjEnd() { return std::string("\x60\xEA\0\0", 4); }

}  // namespace kv::test
