#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "facade/views/arc_list_item.h"

namespace kv::facade {

class TkvComp;

// The facade's entry indexes the selected rows stand for, in row order: a file row its entry, a sub-folder
// row every entry below that folder at any depth, the parent row nothing.
std::vector<std::int64_t> SelectedEntryIndexesOf(const TkvComp& comp, const std::vector<TArcListItem>& items,
                                                 const std::vector<std::int64_t>& selectedRows);

// The names of the selected entries. With `wholeNames` (or in flat style) every entry's full name; without,
// in explorer style, an entry in the current folder by its name and anything below a sub-folder by that
// sub-folder's path (with its delimiter), once.
std::vector<std::string> SelectionNamesOf(const TkvComp& comp, const std::vector<std::int64_t>& entryIndexes,
                                          bool wholeNames);

}  // namespace kv::facade
