#include "engine/readers/rar_volumes.h"

#include <array>
#include <cstring>
#include <utility>

namespace kv {

void TRarEntryJoin::Add(TEntryRecord record, std::int64_t offset, TListedKind kind, bool from_previous,
                        bool into_next) {
    if (from_previous && pending_) {
        if (pending_->AddsParts) pending_->Record.PackedSize += record.PackedSize;
        pending_->Record.FileCRC = record.FileCRC;
        if (!into_next) Flush();
        return;
    }
    // A waiting entry whose next part never came stands as it is.
    Flush();
    if (from_previous) record.PackedSize = 0;
    if (!into_next) {
        lister_.OfferEntry(std::move(record), offset, kind);
        return;
    }
    pending_ = TPending{std::move(record), offset, kind, !from_previous};
}

void TRarEntryJoin::Flush() {
    if (!pending_) return;
    TPending pending = std::move(*pending_);
    pending_.reset();
    lister_.OfferEntry(std::move(pending.Record), pending.Offset, pending.Kind);
}

bool RarSignatureAt(TArcLister& lister, std::int64_t offset, std::span<const std::uint8_t> signature) {
    std::array<std::uint8_t, 16> bytes{};
    return signature.size() <= bytes.size() &&
           lister.ReadExact(offset, bytes.data(), static_cast<std::int64_t>(signature.size())) &&
           std::memcmp(bytes.data(), signature.data(), signature.size()) == 0;
}

void WalkRarVolumes(TArcLister& lister, TRarEntryJoin& join, std::int64_t cursor,
                    const std::function<void(std::int64_t cursor)>& walk_volume,
                    const std::function<std::optional<std::int64_t>()>& volume_start) {
    for (;;) {
        walk_volume(cursor);
        if (!join.Pending() || lister.GetCancel() || !lister.NextVolume() || !lister.ArchiveOpen()) break;
        const auto start = volume_start();
        if (!start) break;
        cursor = *start;
    }
    join.Flush();
}

}  // namespace kv
