#pragma once

#include <deque>
#include <vector>

#include "facade/views/arc_list_item.h"

namespace kv::facade {

class TkvComp;

// The rows of the list view and the pseudo entries they own.
struct TListRows {
    std::vector<TArcListItem> Items;
    std::deque<TArcEntry> PseudoEntries;  // a deque: rows keep pointing at them while more are added
};

// The rows the facade's entries give: all of them in flat style; in explorer style the parent row, the
// sub-folders of DirFilter (sorted, case ignored) and the files directly in it. None without an archive.
TListRows BuildListRows(const TkvComp& comp);

}  // namespace kv::facade
