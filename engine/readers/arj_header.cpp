#include "engine/readers/arj_header.h"

#include <array>

#include "engine/readers/header_fields.h"
#include "platform/byte_order.h"

namespace kv {

using platform::LoadLE16;
using platform::LoadLE32;

TArjHeaderRead ReadArjHeader(THeaderReader& archive, std::int64_t offset, TArjHeader& header) {
    constexpr std::int64_t kIdAndSize = 4;
    constexpr std::int64_t kHeaderCrc = 4;
    constexpr std::int64_t kFirstPartMin = 30;  // up to and including the host data field

    std::array<std::uint8_t, kArjMaxBasicHeaderSize> bytes{};
    if (!archive.Read(offset, bytes.data(), kIdAndSize)) return TArjHeaderRead::ahEnd;
    if (bytes[0] != 0x60 || bytes[1] != 0xEA) return TArjHeaderRead::ahEnd;
    const std::int64_t size = LoadLE16(&bytes[2]);
    if (size == 0) return TArjHeaderRead::ahEnd;
    if (size > kArjMaxBasicHeaderSize) return TArjHeaderRead::ahOversized;
    std::int64_t cursor = offset + kIdAndSize;
    if (cursor + size + kHeaderCrc > archive.Limit() || !archive.Read(cursor, bytes.data(), size)) {
        return TArjHeaderRead::ahEnd;
    }
    const std::int64_t first_size = bytes[0];
    if (first_size < kFirstPartMin || first_size > size) return TArjHeaderRead::ahEnd;

    header.Version = bytes[1];
    header.MinVersion = bytes[2];
    header.HostOs = bytes[3];
    header.Flags = bytes[4];
    header.Method = bytes[5];
    header.FileType = bytes[6];
    header.DosTime = LoadLE32(&bytes[8]);
    header.PackedSize = LoadLE32(&bytes[12]);
    header.OriginalSize = LoadLE32(&bytes[16]);
    header.Crc32 = LoadLE32(&bytes[20]);
    header.AccessMode = LoadLE16(&bytes[26]);
    header.Name = ZeroTerminatedField(&bytes[first_size], static_cast<std::size_t>(size - first_size));

    // Extended headers: each a size, its bytes and a CRC-32, until a size of 0.
    cursor += size + kHeaderCrc;
    for (;;) {
        std::array<std::uint8_t, 2> ext_size{};
        if (!archive.Read(cursor, ext_size.data(), 2)) return TArjHeaderRead::ahEnd;
        cursor += 2;
        const std::int64_t ext = LoadLE16(ext_size.data());
        if (ext == 0) break;
        cursor += ext + kHeaderCrc;
    }
    header.DataOffset = cursor;
    return TArjHeaderRead::ahEntry;
}

}  // namespace kv
