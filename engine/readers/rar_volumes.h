#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "engine/core/entry_record.h"
#include "engine/readers/arc_lister.h"

namespace kv {

// Joins the parts of entries that run on from one RAR volume into the next: the entry is offered once,
// with the packed sizes of its parts added up and the checksum of its last part (the whole file's).
class TRarEntryJoin {
public:
    explicit TRarEntryJoin(TArcLister& lister) : lister_(lister) {}
    TRarEntryJoin(const TRarEntryJoin&) = delete;
    TRarEntryJoin& operator=(const TRarEntryJoin&) = delete;

    // One file header of the walk. `from_previous`: its data began in an earlier volume; `into_next`:
    // it goes on in the next one.
    void Add(TEntryRecord record, std::int64_t offset, TListedKind kind, bool from_previous, bool into_next);
    // An entry waits for its part in the next volume.
    bool Pending() const { return pending_.has_value(); }
    // Offers a waiting entry with what is known of it.
    void Flush();

private:
    struct TPending {
        TEntryRecord Record;
        std::int64_t Offset = 0;
        TListedKind Kind = TListedKind::lkFile;
        bool AddsParts = true;  // false when the listing began inside the entry: its size stays 0
    };
    TArcLister& lister_;
    std::optional<TPending> pending_;
};

// The marker or signature of a RAR archive stands at `offset` of the open volume.
bool RarSignatureAt(TArcLister& lister, std::int64_t offset, std::span<const std::uint8_t> signature);

// Walks a RAR set from `cursor` in the open volume. `walk_volume` lists one volume from a cursor and
// returns when its blocks end; while an entry runs on, the next volume is asked for and `volume_start`
// gives the cursor of its first block after marker and main header (nothing: the volume is unusable).
void WalkRarVolumes(TArcLister& lister, TRarEntryJoin& join, std::int64_t cursor,
                    const std::function<void(std::int64_t cursor)>& walk_volume,
                    const std::function<std::optional<std::int64_t>()>& volume_start);

}  // namespace kv
