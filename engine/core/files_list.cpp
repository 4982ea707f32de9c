#include "engine/core/files_list.h"

#include <algorithm>
#include <functional>

#include "engine/core/text_case.h"
#include "platform/paths.h"

namespace kv {
namespace {

using TLess = std::function<bool(const TFileObject&, const TFileObject&)>;

TLess LessFor(TArcSortOptions order) {
    switch (order) {
        case soByName:
            return [](const TFileObject& a, const TFileObject& b) { return CompareText(a.Name, b.Name) < 0; };
        case soByType:
            return [](const TFileObject& a, const TFileObject& b) {
                return CompareText(platform::ExtractFileExt(a.Name), platform::ExtractFileExt(b.Name)) < 0;
            };
        case soBySize:
            return [](const TFileObject& a, const TFileObject& b) { return a.Size < b.Size; };
        case soByTime:
            return [](const TFileObject& a, const TFileObject& b) { return a.Time < b.Time; };
        case soByPath:
            return [](const TFileObject& a, const TFileObject& b) { return CompareText(a.Directory, b.Directory) < 0; };
        case soUnsort:
            break;
    }
    return {};
}

}  // namespace

void TFilesList::SetSortOrder(TArcSortOptions order) {
    if (order == order_) return;
    Settle();
    order_ = order;
    if (const TLess less = LessFor(order_)) std::stable_sort(items_.begin(), items_.end(), less);
    settled_ = items_.size();
}

void TFilesList::Add(TFileObject item) {
    items_.push_back(std::move(item));
    if (order_ == soUnsort) settled_ = items_.size();
}

void TFilesList::Clear() {
    items_.clear();
    settled_ = 0;
}

const TFileObject& TFilesList::operator[](std::size_t index) const {
    Settle();
    return items_.at(index);
}

std::vector<TFileObject>::const_iterator TFilesList::begin() const {
    Settle();
    return items_.cbegin();
}

std::vector<TFileObject>::const_iterator TFilesList::end() const {
    Settle();
    return items_.cend();
}

void TFilesList::Settle() const {
    if (settled_ == items_.size()) return;
    const TLess less = LessFor(order_);
    const auto added = items_.begin() + static_cast<std::ptrdiff_t>(settled_);
    // The later of two equal new items goes first, as one-by-one insertion before equals would place it.
    std::reverse(added, items_.end());
    std::stable_sort(added, items_.end(), less);
    // New items go before equal older ones: move them to the front, then merge (the first run wins ties).
    const auto old_count = static_cast<std::ptrdiff_t>(settled_);
    std::rotate(items_.begin(), added, items_.end());
    std::inplace_merge(items_.begin(), items_.end() - old_count, items_.end(), less);
    settled_ = items_.size();
}

}  // namespace kv
