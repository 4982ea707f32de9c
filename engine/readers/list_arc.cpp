#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"

namespace kv {

void ListArc(TArcLister& /*lister*/) {}

}  // namespace kv
