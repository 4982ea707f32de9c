#include "engine/readers/rar5_headers.h"

#include "platform/byte_order.h"
#include "platform/file_attributes_linux.h"

namespace kv {
namespace {

using platform::LoadLE32;
using platform::LoadLE64;

// Headers are at most 2 MiB; the size field then needs at most 3 bytes.
constexpr std::uint64_t kMaxHeaderSize = 2 * 1024 * 1024;
constexpr std::size_t kHeaderCrcSize = 4;

constexpr std::uint64_t kFileIsDirectory = 0x0001;
constexpr std::uint64_t kFileHasUnixTime = 0x0002;
constexpr std::uint64_t kFileHasCrc = 0x0004;

constexpr std::uint64_t kExtraEncryption = 1;
constexpr std::uint64_t kExtraFileTime = 3;
constexpr std::uint64_t kTimeIsUnix = 0x0001;
constexpr std::uint64_t kTimeHasMTime = 0x0002;

constexpr std::uint64_t kHostUnix = 1;

// The records of a file header's extra area: size, type, then the type's data.
void ReadExtraArea(std::span<const std::uint8_t> area, TRar5FileHeader& file) {
    std::size_t pos = 0;
    while (pos < area.size()) {
        const auto size = ReadRar5Number(area, pos);
        if (!size || *size == 0 || *size > area.size() - pos) return;
        const auto record = area.subspan(pos, static_cast<std::size_t>(*size));
        pos += static_cast<std::size_t>(*size);
        std::size_t at = 0;
        const auto type = ReadRar5Number(record, at);
        if (!type) return;
        if (*type == kExtraEncryption) file.Encrypted = true;
        if (*type != kExtraFileTime) continue;
        const auto flags = ReadRar5Number(record, at);
        if (!flags || (*flags & kTimeHasMTime) == 0) continue;
        if ((*flags & kTimeIsUnix) != 0) {
            if (record.size() - at >= 4) file.UnixMTime = LoadLE32(&record[at]);
        } else if (record.size() - at >= 8) {
            file.FileTimeMTime = LoadLE64(&record[at]);
        }
    }
}

}  // namespace

std::optional<std::uint64_t> ReadRar5Number(std::span<const std::uint8_t> bytes, std::size_t& pos) {
    std::uint64_t value = 0;
    for (unsigned shift = 0; shift < 64 && pos < bytes.size(); shift += 7) {
        const std::uint8_t byte = bytes[pos++];
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) return value;
    }
    return std::nullopt;
}

std::optional<std::size_t> Rar5HeaderEnd(std::span<const std::uint8_t> first_bytes) {
    std::size_t pos = kHeaderCrcSize;
    const auto size = ReadRar5Number(first_bytes, pos);
    if (!size || *size == 0 || *size > kMaxHeaderSize) return std::nullopt;
    return pos + static_cast<std::size_t>(*size);
}

std::optional<TRar5Block> ParseRar5Block(std::span<const std::uint8_t> header) {
    TRar5Block block;
    std::size_t pos = kHeaderCrcSize;
    if (!ReadRar5Number(header, pos)) return std::nullopt;
    const auto type = ReadRar5Number(header, pos);
    const auto flags = ReadRar5Number(header, pos);
    if (!type || !flags) return std::nullopt;
    block.Type = *type;
    block.Flags = *flags;
    if ((block.Flags & kRar5HasExtra) != 0) {
        const auto extra = ReadRar5Number(header, pos);
        if (!extra) return std::nullopt;
        block.ExtraSize = *extra;
    }
    if ((block.Flags & kRar5HasData) != 0) {
        const auto data = ReadRar5Number(header, pos);
        if (!data) return std::nullopt;
        block.DataSize = *data;
    }
    block.FieldsAt = pos;
    block.HeaderEnd = header.size();
    if (block.ExtraSize > block.HeaderEnd - block.FieldsAt) return std::nullopt;
    block.ExtraAt = block.HeaderEnd - static_cast<std::size_t>(block.ExtraSize);
    return block;
}

std::uint32_t TRar5FileHeader::DosAttributes() const {
    if (HostOs == kHostUnix) return Directory ? platform::kFaDirectory : platform::kFaArchive;
    const auto attributes = static_cast<std::uint32_t>(Attributes);
    return Directory ? attributes | platform::kFaDirectory : attributes;
}

std::optional<TRar5FileHeader> ParseRar5FileHeader(std::span<const std::uint8_t> header, const TRar5Block& block) {
    const auto fields = header.first(block.ExtraAt);
    std::size_t pos = block.FieldsAt;
    TRar5FileHeader file;
    const auto flags = ReadRar5Number(fields, pos);
    const auto unpacked = ReadRar5Number(fields, pos);
    const auto attributes = ReadRar5Number(fields, pos);
    if (!flags || !unpacked || !attributes) return std::nullopt;
    file.Directory = (*flags & kFileIsDirectory) != 0;
    // An unknown size is stored as a huge number; nothing real is that large.
    file.UnpackedSize = *unpacked > static_cast<std::uint64_t>(INT64_MAX) ? 0 : static_cast<std::int64_t>(*unpacked);
    file.Attributes = *attributes;
    if ((*flags & kFileHasUnixTime) != 0) {
        if (fields.size() - pos < 4) return std::nullopt;
        file.UnixMTime = LoadLE32(&fields[pos]);
        pos += 4;
    }
    if ((*flags & kFileHasCrc) != 0) {
        if (fields.size() - pos < 4) return std::nullopt;
        file.DataCrc = LoadLE32(&fields[pos]);
        pos += 4;
    }
    const auto compression = ReadRar5Number(fields, pos);
    const auto host = ReadRar5Number(fields, pos);
    const auto name_size = ReadRar5Number(fields, pos);
    if (!compression || !host || !name_size || *name_size > fields.size() - pos) return std::nullopt;
    file.Version = static_cast<std::uint8_t>(*compression & 0x3F);
    file.Method = static_cast<std::uint8_t>((*compression >> 7) & 0x07);
    file.HostOs = *host;
    file.Name.assign(fields.begin() + static_cast<std::ptrdiff_t>(pos),
                     fields.begin() + static_cast<std::ptrdiff_t>(pos + *name_size));
    const auto main_time = file.UnixMTime;
    ReadExtraArea(header.subspan(block.ExtraAt, static_cast<std::size_t>(block.ExtraSize)), file);
    // The main field wins over the extra area's copy.
    if (main_time) {
        file.UnixMTime = main_time;
        file.FileTimeMTime.reset();
    }
    return file;
}

}  // namespace kv
