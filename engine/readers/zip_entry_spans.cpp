#include "engine/readers/zip_entry_spans.h"

#include <iterator>

namespace kv {

bool TZipEntrySpans::Claim(std::int64_t start, std::int64_t end) {
    const auto next = spans_.lower_bound(start);
    if (next != spans_.end() && next->first < end) return false;
    if (next != spans_.begin() && std::prev(next)->second > start) return false;
    spans_.emplace_hint(next, start, end);
    return true;
}

}  // namespace kv
