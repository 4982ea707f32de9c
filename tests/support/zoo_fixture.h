#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/lsb_bit_writer.h"
#include "support/old_formats_fixture.h"

namespace kv::test {

// ZOO's LZW, encoded the plain way: a clear code first, the table cleared again whenever it is full, the end
// code last; the code width follows what the decoder's table holds.
inline std::string ZooLzw(std::string_view data) {
    constexpr unsigned kClear = 256, kEnd = 257, kFirstFree = 258, kCodeCount = 8192;
    LsbBitWriter out;
    std::map<std::pair<unsigned, unsigned char>, unsigned> table;
    unsigned next_code = kFirstFree;  // the encoder's table runs one code ahead of the decoder's
    unsigned decoder_free = kFirstFree;
    unsigned bits = 9;
    bool decoder_has_previous = false;
    const auto emit = [&](unsigned code) {
        out.Put(code, bits);
        if (code == kClear) {
            bits = 9;
            decoder_free = kFirstFree;
            decoder_has_previous = false;
            table.clear();
            next_code = kFirstFree;
            return;
        }
        if (decoder_has_previous && decoder_free < kCodeCount && ++decoder_free == (1u << bits) && bits < 13) ++bits;
        decoder_has_previous = true;
    };
    emit(kClear);
    std::optional<unsigned> string;
    for (const char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        if (!string) {
            string = byte;
            continue;
        }
        const auto found = table.find({*string, byte});
        if (found != table.end()) {
            string = found->second;
            continue;
        }
        emit(*string);
        if (next_code < kCodeCount) {
            table[{*string, byte}] = next_code++;
        } else {
            emit(kClear);
        }
        string = byte;
    }
    if (string) emit(*string);
    emit(kEnd);
    const std::vector<std::uint8_t>& bytes = out.Bytes();
    return {bytes.begin(), bytes.end()};
}

// The CRC-16 ZOO keeps (polynomial 0xA001, reflected, starting at 0).
inline std::uint16_t ZooCrc16(std::string_view data) {
    std::uint16_t crc = 0;
    for (const char c : data) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

struct ZooMember {
    ZooMember(std::string name_, std::string data_, std::uint8_t method_ = 0,
              std::optional<std::string> packed_ = std::nullopt)
        : name(std::move(name_)), data(std::move(data_)), method(method_), packed(std::move(packed_)) {}

    std::string name;
    std::string data;             // what the entry holds
    std::uint8_t method = 0;      // 0 stored, 1 LZW; anything else needs `packed`
    std::optional<std::string> packed;  // the stored bytes, where they are not data's stored or LZW form
    bool deleted = false;
    std::string comment;
    std::string directory;
    std::string long_name;  // beside the 13-byte name, which `name` fills
    std::optional<std::uint32_t> unix_mode;
};

// A ZOO 2.x archive: the archive header, then per member a type 2 directory entry, its comment and its data,
// then the entry that ends the directory.
inline std::string ZooArchive(const std::vector<ZooMember>& members) {
    constexpr std::uint32_t kTag = 0xFDC4A7DC;
    constexpr std::uint32_t kFirst = 34;
    LeBytes out;
    out.field("ZOO 2.10 Archive.\x1A", 20).u32(kTag).u32(kFirst).u32(static_cast<std::uint32_t>(-kFirst)).u8(2).u8(0);
    const auto entry = [&](const ZooMember* member) {
        const std::string packed = member == nullptr             ? std::string()
                                   : member->packed              ? *member->packed
                                   : member->method == 1         ? ZooLzw(member->data)
                                                                 : member->data;
        const std::string directory = member == nullptr ? std::string() : member->directory;
        const std::string long_name =
            member == nullptr || member->long_name.empty() ? std::string() : member->long_name + '\0';
        const std::string comment = member == nullptr ? std::string() : member->comment;
        const std::uint32_t variable = static_cast<std::uint32_t>(2 + long_name.size() + directory.size() + 2 + 3);
        const auto at = static_cast<std::uint32_t>(out.size());
        const std::uint32_t comment_at = at + 56 + variable;
        const auto data_at = static_cast<std::uint32_t>(comment_at + comment.size());
        const auto next = member == nullptr ? 0u : static_cast<std::uint32_t>(data_at + packed.size());
        out.u32(kTag).u8(2).u8(member == nullptr ? 0 : member->method).u32(next).u32(data_at);
        out.u16(0x5A8C).u16(0x6000).u16(member == nullptr ? 0 : ZooCrc16(member->data));
        out.u32(member == nullptr ? 0 : static_cast<std::uint32_t>(member->data.size()))
            .u32(static_cast<std::uint32_t>(packed.size()));
        out.u8(2).u8(1).u8(member != nullptr && member->deleted ? 1 : 0).u8(0);
        out.u32(comment.empty() ? 0 : comment_at).u16(static_cast<std::uint32_t>(comment.size()));
        out.field(member == nullptr ? "" : member->name, 13).u16(variable).u8(0).u16(0);
        out.u8(static_cast<unsigned>(long_name.size())).u8(static_cast<unsigned>(directory.size()));
        out.text(long_name).text(directory);
        const bool unix = member != nullptr && member->unix_mode;
        out.u16(unix ? 0 : 1);
        const std::uint32_t attributes = unix ? (1u << 22) | *member->unix_mode : 0;
        out.u8(attributes).u8(attributes >> 8).u8(attributes >> 16);
        out.text(comment).text(packed);
    };
    for (const ZooMember& member : members) entry(&member);
    entry(nullptr);
    return out.bytes;
}

}  // namespace kv::test
