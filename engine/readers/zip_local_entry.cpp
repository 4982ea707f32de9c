#include "engine/readers/zip_local_entry.h"

#include <algorithm>
#include <limits>

#include "platform/byte_order.h"

namespace kv {
namespace {

using platform::LoadLE32;
using platform::LoadLE64;

constexpr std::size_t kDescriptorSize = 16;       // signature, CRC-32, packed and unpacked size
constexpr std::size_t kZip64DescriptorSize = 24;  // the same with 8-byte sizes
constexpr std::int64_t kDescriptorScanStep = 64 * 1024;

struct TDataDescriptor {
    std::uint32_t Crc = 0;
    std::uint64_t PackedSize = 0;
    std::uint64_t UnpackedSize = 0;
    std::size_t Size = 0;
};

// The size of a data descriptor at `position` when one is there (with or without its signature, which
// is optional: then a following record signature must confirm it), else 0.
std::size_t DescriptorAt(THeaderReader& reader, std::int64_t position, bool zip64) {
    const std::size_t size = zip64 ? kZip64DescriptorSize : kDescriptorSize;
    const std::uint8_t* p = reader.Fetch(position, 4);
    if (p != nullptr && IsZipRecord(p, 0x07, 0x08)) return size;
    const std::uint8_t* next = reader.Fetch(position + static_cast<std::int64_t>(size - 4), 4);
    if (next != nullptr && (IsZipRecord(next, 0x03, 0x04) || IsZipRecord(next, 0x01, 0x02))) return size - 4;
    return 0;
}

// The first descriptor whose packed size is its own distance from the data start is the entry's.
std::optional<TDataDescriptor> FindDescriptor(THeaderReader& reader, std::int64_t data_start,
                                              const std::function<bool()>& cancelled) {
    const std::int64_t limit = reader.Limit();
    for (std::int64_t chunk = data_start; chunk < limit && !cancelled(); chunk += kDescriptorScanStep) {
        const auto available = static_cast<std::size_t>(
            std::min<std::int64_t>(limit - chunk, kDescriptorScanStep + static_cast<std::int64_t>(kZip64DescriptorSize)));
        const std::uint8_t* p = reader.Fetch(chunk, available);
        if (p == nullptr) break;
        const auto scan = std::min<std::size_t>(available, kDescriptorScanStep);
        for (std::size_t i = 0; i < scan && i + kDescriptorSize <= available; ++i) {
            if (!IsZipRecord(p + i, 0x07, 0x08)) continue;
            const auto distance = static_cast<std::uint64_t>(chunk + static_cast<std::int64_t>(i) - data_start);
            if (LoadLE32(p + i + 8) == distance) {
                return TDataDescriptor{LoadLE32(p + i + 4), distance, LoadLE32(p + i + 12), kDescriptorSize};
            }
            if (i + kZip64DescriptorSize <= available && LoadLE64(p + i + 8) == distance) {
                return TDataDescriptor{LoadLE32(p + i + 4), distance, LoadLE64(p + i + 16), kZip64DescriptorSize};
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::int64_t ZipFirstLocalHeader(THeaderReader& reader, std::int64_t position) {
    const std::uint8_t* p = reader.Fetch(position, 4);
    return p != nullptr && IsZipRecord(p, 0x07, 0x08) ? position + 4 : position;
}

std::optional<std::int64_t> ZipLocalEntryEnd(THeaderReader& reader, std::int64_t data_start, TZipEntryHeader& header,
                                             const std::function<bool()>& cancelled) {
    const bool descriptor = (header.Flags & kZipFlagDataDescriptor) != 0;
    if (descriptor && header.PackedSize == 0) {
        const auto found = FindDescriptor(reader, data_start, cancelled);
        if (!found) return std::nullopt;
        header.Crc = found->Crc;
        header.PackedSize = found->PackedSize;
        header.UnpackedSize = found->UnpackedSize;
        return data_start + static_cast<std::int64_t>(found->PackedSize + found->Size);
    }
    if (header.PackedSize > static_cast<std::uint64_t>(std::max<std::int64_t>(reader.Limit() - data_start, 0)))
        return std::nullopt;
    const std::int64_t end = data_start + static_cast<std::int64_t>(header.PackedSize);
    if (!descriptor) return end;
    return end + static_cast<std::int64_t>(DescriptorAt(reader, end, header.Zip64Sizes));
}

}  // namespace kv
