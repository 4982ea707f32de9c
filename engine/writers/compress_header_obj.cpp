#include "engine/writers/compress_header_obj.h"

#include <algorithm>

namespace kv {

std::size_t TCompressHeaderObj::Add(TCompressHeader item) {
    const std::size_t index = items_.size();
    by_name_.emplace(item.StoredName, index);
    items_.push_back(std::move(item));
    return index;
}

std::optional<std::size_t> TCompressHeaderObj::Find(std::string_view stored_name) const {
    const auto [first, last] = by_name_.equal_range(std::string(stored_name));
    for (auto it = first; it != last; ++it) {
        if (items_[it->second].Action != caDrop) return it->second;
    }
    return std::nullopt;
}

void TCompressHeaderObj::SetAction(std::size_t index, TCompressAction action) { items_[index].Action = action; }

void TCompressHeaderObj::Rename(std::size_t index, std::string new_name) {
    TCompressHeader& item = items_[index];
    const auto [first, last] = by_name_.equal_range(item.StoredName);
    for (auto it = first; it != last; ++it) {
        if (it->second == index) {
            by_name_.erase(it);
            break;
        }
    }
    item.StoredName = std::move(new_name);
    item.Action = caRename;
    by_name_.emplace(item.StoredName, index);
}

std::size_t TCompressHeaderObj::CountOf(TCompressAction action) const {
    return static_cast<std::size_t>(
        std::count_if(items_.begin(), items_.end(), [action](const TCompressHeader& item) { return item.Action == action; }));
}

}  // namespace kv
