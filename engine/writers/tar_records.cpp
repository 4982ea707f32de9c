#include "engine/writers/tar_records.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace kv {
namespace {

constexpr std::size_t kNameAt = 0, kNameSize = 100;
constexpr std::size_t kModeAt = 100, kUidAt = 108, kGidAt = 116, kIdSize = 8;
constexpr std::size_t kSizeAt = 124, kTimeAt = 136, kNumberSize = 12;
constexpr std::size_t kChecksumAt = 148, kChecksumSize = 8;
constexpr std::size_t kTypeAt = 156;
constexpr std::size_t kLinkAt = 157;
constexpr std::size_t kMagicAt = 257;
constexpr std::size_t kUNameAt = 265, kGNameAt = 297, kOwnerNameSize = 32;
constexpr std::size_t kPrefixAt = 345, kPrefixSize = 155;
// The largest value of 11 octal digits, plus one.
constexpr std::int64_t kOctal11Limit = std::int64_t{1} << 33;
constexpr std::string_view kPaxFolder = "PaxHeaders/";

// `width` - 1 octal digits, zero-padded, then NUL; the value must fit.
void PutOctal(TTarBlock& block, std::size_t at, std::size_t width, std::uint64_t value) {
    for (std::size_t i = width - 1; i-- > 0;) {
        block[at + i] = static_cast<std::uint8_t>('0' + (value & 7));
        value >>= 3;
    }
    block[at + width - 1] = 0;
}

// A big-endian binary number behind a first byte with the high bit set, as GNU tar writes large values.
void PutBase256(TTarBlock& block, std::size_t at, std::size_t width, std::uint64_t value) {
    for (std::size_t i = width; i-- > 1;) {
        block[at + i] = static_cast<std::uint8_t>(value);
        value >>= 8;
    }
    block[at] = 0x80;
}

void PutText(TTarBlock& block, std::size_t at, std::size_t width, std::string_view text) {
    std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(at), width, 0);
    if (!text.empty()) std::memcpy(block.data() + at, text.data(), std::min(width, text.size()));
}

// The last part of a name, for naming its pax header (only readers without pax support ever show it).
std::string_view LastPart(std::string_view name) {
    while (!name.empty() && name.back() == '/') name.remove_suffix(1);
    const std::size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

void SetChecksum(TTarBlock& block) { PutOctal(block, kChecksumAt, kChecksumSize, TarChecksum(block)); }

}  // namespace

TTarBlock NewTarHeader(std::uint32_t mode, const TTarOwner& owner, char type_flag) {
    TTarBlock block{};
    PutOctal(block, kModeAt, kIdSize, mode & 07777);
    PutOctal(block, kUidAt, kIdSize, owner.Uid & 07777777);
    PutOctal(block, kGidAt, kIdSize, owner.Gid & 07777777);
    block[kTypeAt] = static_cast<std::uint8_t>(type_flag);
    PutText(block, kMagicAt, 8, std::string_view("ustar  \0", 8));
    PutText(block, kUNameAt, kOwnerNameSize, owner.UName);
    PutText(block, kGNameAt, kOwnerNameSize, owner.GName);
    return block;
}

std::uint32_t TarChecksum(const TTarBlock& header) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < header.size(); ++i) {
        sum += i >= kChecksumAt && i < kChecksumAt + kChecksumSize ? ' ' : header[i];
    }
    return sum;
}

std::string PaxRecord(const std::string& key, const std::string& value) {
    // The length counts its own digits.
    const std::size_t body = key.size() + value.size() + 3;  // blank, "=" and line feed
    std::size_t length = body + 1;
    while (std::to_string(length).size() + body != length) length = std::to_string(length).size() + body;
    return std::to_string(length) + ' ' + key + '=' + value + '\n';
}

std::vector<std::uint8_t> FrameTarMember(TTarBlock header, const TTarMemberFields& fields) {
    std::string records;
    // An old POSIX header's prefix would be put in front of the new name.
    if (std::memcmp(header.data() + kMagicAt, "ustar\0", 6) == 0) PutText(header, kPrefixAt, kPrefixSize, {});

    PutText(header, kNameAt, kNameSize, fields.Name);
    if (fields.Name.size() > kNameSize) records += PaxRecord("path", fields.Name);
    PutText(header, kLinkAt, kNameSize, fields.LinkName);
    if (fields.LinkName.size() > kNameSize) records += PaxRecord("linkpath", fields.LinkName);
    if (fields.Size < kOctal11Limit) {
        PutOctal(header, kSizeAt, kNumberSize, static_cast<std::uint64_t>(fields.Size));
    } else {
        PutBase256(header, kSizeAt, kNumberSize, static_cast<std::uint64_t>(fields.Size));
        records += PaxRecord("size", std::to_string(fields.Size));
    }
    if (fields.ModificationTime) {
        const std::int64_t time = *fields.ModificationTime;
        if (time >= 0 && time < kOctal11Limit) {
            PutOctal(header, kTimeAt, kNumberSize, static_cast<std::uint64_t>(time));
        } else {
            // Readers without pax see the nearest time the field holds.
            PutOctal(header, kTimeAt, kNumberSize, time < 0 ? 0 : static_cast<std::uint64_t>(kOctal11Limit - 1));
            records += PaxRecord("mtime", std::to_string(time));
        }
    }
    SetChecksum(header);

    std::vector<std::uint8_t> blocks;
    if (!records.empty()) {
        TTarBlock pax = header;
        PutText(pax, kNameAt, kNameSize, std::string(kPaxFolder) + std::string(LastPart(fields.Name)));
        PutText(pax, kLinkAt, kNameSize, {});
        PutOctal(pax, kSizeAt, kNumberSize, records.size());
        pax[kTypeAt] = 'x';
        SetChecksum(pax);
        blocks.assign(pax.begin(), pax.end());
        blocks.insert(blocks.end(), records.begin(), records.end());
        blocks.resize((blocks.size() + kTarBlockSize - 1) / kTarBlockSize * kTarBlockSize, 0);
    }
    blocks.insert(blocks.end(), header.begin(), header.end());
    return blocks;
}

}  // namespace kv
