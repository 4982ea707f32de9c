#pragma once

#include <cstdint>
#include <string_view>

#include "facade/arc_entry.h"

namespace kv::facade {

// The marks a pseudo row's entry carries in its Comment.
inline constexpr std::string_view kUpDirMark = "spUpDir";
inline constexpr std::string_view kDirMark = "spDir";

// One row of the list view. Real rows reference the facade's entry; pseudo rows (the parent folder and
// the sub-folders in explorer style) reference an entry the view owns.
struct TArcListItem {
    const TArcEntry* Entry = nullptr;
    bool Owned = false;
    std::int64_t EntryIndex = -1;  // position in the facade's Entries; -1 for a pseudo row
};

enum class TRowKind { File, FolderEntry, UpDir, SubDir };

TRowKind RowKindOf(const TArcListItem& item);

}  // namespace kv::facade
