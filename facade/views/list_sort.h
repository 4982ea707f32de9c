#pragma once

#include <QCollator>
#include <QString>

#include <functional>
#include <vector>

#include "facade/views/arc_list_item.h"

namespace kv::facade {

// The order the rows take when sorted by a column (its tag) in a direction (1 ascending, -1 descending):
// pseudo rows first, A to Z whatever the direction, then the other rows by the column's value. Element r
// of the result is the row that goes to position r.
std::vector<std::size_t> SortedRowOrder(const std::vector<TArcListItem>& items, int column, int direction,
                                        const QCollator& collator,
                                        const std::function<QString(const TArcEntry&)>& typeNameOf);

}  // namespace kv::facade
