#include "engine/readers/arj_header.h"

#include <array>

#include "engine/core/crc.h"
#include "engine/readers/header_fields.h"
#include "platform/byte_order.h"

namespace kv {

using platform::LoadLE16;
using platform::LoadLE32;

TArjHeaderRead ReadArjHeader(THeaderReader& archive, std::int64_t offset, TArjHeader& header) {
    constexpr std::int64_t kIdAndSize = 4;
    constexpr std::int64_t kHeaderCrc = 4;
    constexpr std::int64_t kFirstPartMin = 30;     // up to and including the host data field
    constexpr std::int64_t kWithFilePosition = 34;  // a file header's first part holding the position
    constexpr std::int64_t kWithEncryption = 29;    // a main header's first part holding the version

    std::array<std::uint8_t, kArjMaxBasicHeaderSize + kHeaderCrc> bytes{};
    if (!archive.Read(offset, bytes.data(), kIdAndSize)) return TArjHeaderRead::ahTruncated;
    if (bytes[0] != 0x60 || bytes[1] != 0xEA) return TArjHeaderRead::ahDamaged;
    const std::int64_t size = LoadLE16(&bytes[2]);
    if (size == 0) return TArjHeaderRead::ahEnd;
    if (size > kArjMaxBasicHeaderSize) return TArjHeaderRead::ahOversized;
    std::int64_t cursor = offset + kIdAndSize;
    if (!archive.Read(cursor, bytes.data(), size + kHeaderCrc)) return TArjHeaderRead::ahTruncated;
    const std::int64_t first_size = bytes[0];
    if (first_size < kFirstPartMin || first_size > size) return TArjHeaderRead::ahDamaged;
    if (Crc32Of(bytes.data(), static_cast<std::size_t>(size)) != LoadLE32(&bytes[size])) {
        return TArjHeaderRead::ahDamaged;
    }

    header.Version = bytes[1];
    header.MinVersion = bytes[2];
    header.HostOs = bytes[3];
    header.Flags = bytes[4];
    header.Method = bytes[5];
    header.FileType = bytes[6];
    header.PasswordModifier = bytes[7];
    header.DosTime = LoadLE32(&bytes[8]);
    header.PackedSize = LoadLE32(&bytes[12]);
    header.OriginalSize = LoadLE32(&bytes[16]);
    header.Crc32 = LoadLE32(&bytes[20]);
    header.AccessMode = LoadLE16(&bytes[26]);
    header.FilePosition = first_size >= kWithFilePosition ? LoadLE32(&bytes[30]) : 0;
    header.EncryptionVersion = first_size >= kWithEncryption ? bytes[28] : 0;
    header.Name = ZeroTerminatedField(&bytes[first_size], static_cast<std::size_t>(size - first_size));

    // Extended headers: each a size, its bytes and a CRC-32, until a size of 0.
    cursor += size + kHeaderCrc;
    for (;;) {
        std::array<std::uint8_t, 2> ext_size{};
        if (!archive.Read(cursor, ext_size.data(), 2)) return TArjHeaderRead::ahTruncated;
        cursor += 2;
        const std::int64_t ext = LoadLE16(ext_size.data());
        if (ext == 0) break;
        cursor += ext + kHeaderCrc;
    }
    header.DataOffset = cursor;
    return TArjHeaderRead::ahEntry;
}

}  // namespace kv
