#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/crc.h"
#include "support/zip_fixture.h"

namespace kv::test {

// One member of a ZIP made by BuildZip; the data is stored (method 0) unless told otherwise.
struct ZipMember {
    std::string name = {};
    std::string data = {};
    // What the archive stores when the method compresses `data`; empty: `data` itself.
    std::string packed = {};
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t external_attributes = 0;
    std::string central_extra = {};
    std::string comment = {};
    // The local header leaves CRC and sizes 0 and a data descriptor follows the data (flag bit 3).
    bool descriptor = false;
    // The central header saturates its sizes and offset and a ZIP64 field carries them; the
    // unpacked size claimed there may exceed what a 32-bit field holds.
    bool zip64 = false;
    std::uint64_t zip64_unpacked = 0;
    // "Version made by" of the central header: the host in the high byte (3 Unix, 0 MS-DOS, 11 NTFS).
    std::uint16_t made_by = 0x031E;
    // The sizes both headers claim instead of the data's.
    std::optional<std::uint32_t> claimed_size = {};
    std::optional<std::uint32_t> claimed_packed_size = {};
    // Only a central record, pointing at the local header and data of this earlier member.
    std::optional<std::size_t> shares_member = {};
};

// An extra field: id, length, data.
inline std::string ExtraField(std::uint16_t id, const std::string& data) {
    std::string field;
    Put16(field, id);
    Put16(field, static_cast<std::uint32_t>(data.size()));
    return field + data;
}

struct ZipOptions {
    bool central_directory = true;  // false: local headers only, as a truncated archive has them
    bool zip64_end = false;         // ZIP64 end record and locator; the end record saturates its fields
    std::optional<std::uint32_t> claimed_count = {};  // the entry count the end record claims (16 bits)
};

inline std::string BuildZip(const std::vector<ZipMember>& members, const ZipOptions& options = {}) {
    std::string zip;
    std::vector<std::uint32_t> offsets;
    for (const ZipMember& m : members) {
        if (m.shares_member) {
            offsets.push_back(offsets.at(*m.shares_member));
            continue;
        }
        offsets.push_back(static_cast<std::uint32_t>(zip.size()));
        const std::uint32_t crc = Crc32Of(m.data.data(), m.data.size());
        const std::string& stored = m.packed.empty() ? m.data : m.packed;
        const auto packed = m.claimed_packed_size.value_or(static_cast<std::uint32_t>(stored.size()));
        const auto size = m.claimed_size.value_or(static_cast<std::uint32_t>(m.data.size()));
        const std::uint16_t flags = static_cast<std::uint16_t>(m.flags | (m.descriptor ? 0x0008 : 0));
        zip += "PK\x03\x04";
        Put16(zip, 20), Put16(zip, flags), Put16(zip, m.method), Put32(zip, 0x5A6B3C21);
        Put32(zip, m.descriptor ? 0 : crc), Put32(zip, m.descriptor ? 0 : packed), Put32(zip, m.descriptor ? 0 : size);
        Put16(zip, static_cast<std::uint32_t>(m.name.size())), Put16(zip, 0);
        zip += m.name + stored;
        if (m.descriptor) {
            zip += "PK\x07\x08";
            Put32(zip, crc), Put32(zip, packed), Put32(zip, size);
        }
    }
    if (!options.central_directory) return zip;

    const auto central_at = static_cast<std::uint32_t>(zip.size());
    for (std::size_t i = 0; i < members.size(); ++i) {
        const ZipMember& m = members[i];
        const auto size = m.claimed_size.value_or(static_cast<std::uint32_t>(m.data.size()));
        const auto packed =
            m.claimed_packed_size.value_or(static_cast<std::uint32_t>((m.packed.empty() ? m.data : m.packed).size()));
        std::string extra = m.central_extra;
        if (m.zip64) {
            std::string values;
            Put64(values, m.zip64_unpacked), Put64(values, packed), Put64(values, offsets[i]);
            extra = ExtraField(0x0001, values) + extra;
        }
        zip += "PK\x01\x02";
        Put16(zip, m.made_by), Put16(zip, m.zip64 ? 45 : 20), Put16(zip, m.flags | (m.descriptor ? 0x0008 : 0));
        Put16(zip, m.method), Put32(zip, 0x5A6B3C21), Put32(zip, Crc32Of(m.data.data(), m.data.size()));
        Put32(zip, m.zip64 ? 0xFFFFFFFF : packed), Put32(zip, m.zip64 ? 0xFFFFFFFF : size);
        Put16(zip, static_cast<std::uint32_t>(m.name.size())), Put16(zip, static_cast<std::uint32_t>(extra.size()));
        Put16(zip, static_cast<std::uint32_t>(m.comment.size())), Put16(zip, 0), Put16(zip, 0);
        Put32(zip, m.external_attributes), Put32(zip, m.zip64 ? 0xFFFFFFFF : offsets[i]);
        zip += m.name + extra + m.comment;
    }
    const auto central_size = static_cast<std::uint32_t>(zip.size() - central_at);
    const auto count = options.claimed_count.value_or(static_cast<std::uint32_t>(members.size()));
    if (options.zip64_end) {
        const auto record_at = zip.size();
        zip += "PK\x06\x06";
        Put64(zip, 44), Put16(zip, 45), Put16(zip, 45), Put32(zip, 0), Put32(zip, 0);
        Put64(zip, count), Put64(zip, count), Put64(zip, central_size), Put64(zip, central_at);
        zip += "PK\x06\x07";
        Put32(zip, 0), Put64(zip, record_at), Put32(zip, 1);
    }
    zip += "PK\x05\x06";
    Put16(zip, 0), Put16(zip, 0);
    Put16(zip, options.zip64_end ? 0xFFFF : count), Put16(zip, options.zip64_end ? 0xFFFF : count);
    Put32(zip, options.zip64_end ? 0xFFFFFFFF : central_size), Put32(zip, options.zip64_end ? 0xFFFFFFFF : central_at);
    Put16(zip, 0);
    return zip;
}

}  // namespace kv::test
