#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/core/zip_cipher.h"

namespace kv::test {

// Appends little-endian values to a byte string.
inline void Put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}
inline void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}
inline void Put64(std::string& out, std::uint64_t value) {
    Put32(out, static_cast<std::uint32_t>(value));
    Put32(out, static_cast<std::uint32_t>(value >> 32));
}

// How MakeZip lays out its one-entry archive ("a.txt", stored "hello").
struct ZipLayout {
    std::string Prefix;                        // bytes in front of the archive
    bool OffsetsAdjusted = false;              // stored offsets count the prefix (as a proper self-extractor's do)
    bool Zip64 = false;                        // ZIP64 end record and locator in front of the end record
    bool LocatorOnly = false;                  // a ZIP64 locator without its end record
    bool EncipherEnd = false;                  // "PL" end record
    bool EncipherCentral = false;              // "PL" central header
    std::optional<std::uint32_t> LocalOffset;  // stored local-header offset; default: where it is
    std::string Comment;

    ZipLayout& WithPrefix(std::string prefix) { return Prefix = std::move(prefix), *this; }
    ZipLayout& WithAdjustedOffsets() { return OffsetsAdjusted = true, *this; }
    ZipLayout& WithZip64() { return Zip64 = true, *this; }
    ZipLayout& WithLocatorOnly() { return LocatorOnly = true, *this; }
    ZipLayout& WithEncipheredEnd() { return EncipherEnd = true, *this; }
    ZipLayout& WithEncipheredCentral() { return EncipherCentral = true, *this; }
    ZipLayout& WithLocalOffset(std::uint32_t offset) { return LocalOffset = offset, *this; }
    ZipLayout& WithComment(std::string comment) { return Comment = std::move(comment), *this; }
};

namespace zip_fixture_detail {

// Hides a record behind its signature with the header keys, as "PL" headers are stored.
inline void Encipher(std::string& bytes, std::size_t at, std::size_t size) {
    TZipKeys keys(CipherSeed(TSeedKind::skHeader));
    keys.Encipher(reinterpret_cast<std::uint8_t*>(&bytes[at + 4]), size);
    bytes[at + 1] = 'L';
}

}  // namespace zip_fixture_detail

// One stored entry with its central header and end record, laid out as told.
inline std::string MakeZip(const ZipLayout& layout = {}) {
    const std::string name = "a.txt";
    const std::string data = "hello";
    constexpr std::uint32_t kCrc = 0x3610A686;  // CRC-32 of "hello"
    const std::uint32_t base = layout.OffsetsAdjusted ? static_cast<std::uint32_t>(layout.Prefix.size()) : 0;

    std::string zip = layout.Prefix;
    const std::size_t local_at = zip.size();
    zip += "PK\x03\x04";
    Put16(zip, 10), Put16(zip, 0), Put16(zip, 0), Put16(zip, 0), Put16(zip, 0x21);
    Put32(zip, kCrc), Put32(zip, 5), Put32(zip, 5), Put16(zip, 5), Put16(zip, 0);
    zip += name + data;

    const std::size_t central_at = zip.size();
    zip += "PK\x01\x02";
    Put16(zip, 20), Put16(zip, 10), Put16(zip, 0), Put16(zip, 0), Put16(zip, 0), Put16(zip, 0x21);
    Put32(zip, kCrc), Put32(zip, 5), Put32(zip, 5), Put16(zip, 5), Put16(zip, 0), Put16(zip, 0);
    Put16(zip, 0), Put16(zip, 0), Put32(zip, 0);
    Put32(zip, layout.LocalOffset.value_or(base + static_cast<std::uint32_t>(local_at - layout.Prefix.size())));
    zip += name;
    // The name behind an enciphered central header continues the same keystream.
    if (layout.EncipherCentral) zip_fixture_detail::Encipher(zip, central_at, 42 + name.size());
    const auto central_size = static_cast<std::uint32_t>(zip.size() - central_at);
    const auto central_offset = base + static_cast<std::uint32_t>(central_at - layout.Prefix.size());

    if (layout.Zip64 || layout.LocatorOnly) {
        const std::size_t record_at = zip.size();
        if (layout.Zip64) {
            zip += "PK\x06\x06";
            Put64(zip, 44), Put16(zip, 45), Put16(zip, 45), Put32(zip, 0), Put32(zip, 0);
            Put64(zip, 1), Put64(zip, 1), Put64(zip, central_size), Put64(zip, central_offset);
        }
        zip += "PK\x06\x07";
        Put32(zip, 0), Put64(zip, base + record_at - layout.Prefix.size()), Put32(zip, 1);
    }
    const std::size_t end_at = zip.size();
    zip += "PK\x05\x06";
    Put16(zip, 0), Put16(zip, 0), Put16(zip, 1), Put16(zip, 1);
    Put32(zip, central_size), Put32(zip, central_offset), Put16(zip, static_cast<std::uint32_t>(layout.Comment.size()));
    if (layout.EncipherEnd) zip_fixture_detail::Encipher(zip, end_at, 18);
    return zip + layout.Comment;
}

}  // namespace kv::test
