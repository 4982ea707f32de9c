#include "engine/readers/zip_central_position.h"

#include <limits>
#include <vector>

#include "engine/core/zip_end_records.h"
#include "engine/core/zip_headers.h"

namespace kv {

std::optional<std::int64_t> FindZipCentralPosition(const TArcDetection& d, THeaderReader& reader,
                                                   std::int64_t archive_size) {
    if (!d.ZipLayoutFlags.Has(htCentral) || !d.ZipLayoutFlags.Has(htEnding)) return std::nullopt;
    if (d.EndRecord.size() != kZipEndRecordSize && d.EndRecord.size() != kZipWideEndRecordSize) return std::nullopt;
    const std::uint64_t stored = ZipEndValuesOf(d).CentralOffset;
    std::vector<std::int64_t> candidates;
    if (d.ArcStartOffset > 0) candidates.push_back(d.ArcStartOffset);
    if (stored <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) &&
        static_cast<std::int64_t>(stored) <= archive_size - d.ZipPrefixSize) {
        candidates.push_back(static_cast<std::int64_t>(stored) + d.ZipPrefixSize);
    }
    for (const std::int64_t candidate : candidates) {
        const std::uint8_t* p = reader.Fetch(candidate, kZipCentralHeaderSize);
        if (p != nullptr && IsZipRecord(p, 0x01, 0x02)) return candidate;
    }
    return std::nullopt;
}

}  // namespace kv
