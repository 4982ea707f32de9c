#include "zipmanager/shield_string_list.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace kv {

TShieldStringList& TShieldStringList::operator=(const TShieldStringList& other) {
    if (this == &other || !MayChange()) return *this;
    items_ = other.items_;
    locked_ = other.locked_;
    return *this;
}

bool TShieldStringList::MayChange() {
    if (!locked_) return true;
    if (OnRefused) OnRefused();
    return false;
}

std::string TShieldStringList::Text() const {
    std::string text;
    for (const auto& item : items_) text += item.first + "\n";
    return text;
}

int TShieldStringList::IndexOf(const std::string& s) const {
    const auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& item) { return item.first == s; });
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

std::vector<std::string> TShieldStringList::ToVector() const {
    std::vector<std::string> strings;
    strings.reserve(items_.size());
    for (const auto& item : items_) strings.push_back(item.first);
    return strings;
}

int TShieldStringList::Add(const std::string& s) { return AddObject(s, nullptr); }

int TShieldStringList::AddObject(const std::string& s, TObject* object) {
    if (!MayChange()) return -1;
    items_.emplace_back(s, object);
    return Count() - 1;
}

void TShieldStringList::AddStrings(const std::vector<std::string>& strings) {
    if (!MayChange()) return;
    for (const auto& s : strings) items_.emplace_back(s, nullptr);
}

void TShieldStringList::Assign(const std::vector<std::string>& strings) {
    if (!MayChange()) return;
    items_.clear();
    for (const auto& s : strings) items_.emplace_back(s, nullptr);
}

void TShieldStringList::Clear() {
    if (MayChange()) items_.clear();
}

void TShieldStringList::Delete(int index) {
    if (MayChange() && ValidIndex(index)) items_.erase(items_.begin() + index);
}

void TShieldStringList::Exchange(int index1, int index2) {
    if (MayChange() && ValidIndex(index1) && ValidIndex(index2)) std::swap(items_[index1], items_[index2]);
}

void TShieldStringList::Insert(int index, const std::string& s) {
    if (MayChange() && index >= 0 && index <= Count()) items_.emplace(items_.begin() + index, s, nullptr);
}

void TShieldStringList::Move(int from, int to) {
    if (!MayChange() || !ValidIndex(from) || !ValidIndex(to) || from == to) return;
    auto item = std::move(items_[from]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(item));
}

void TShieldStringList::Put(int index, const std::string& s) {
    if (MayChange() && ValidIndex(index)) items_[index].first = s;
}

void TShieldStringList::PutObject(int index, TObject* object) {
    if (MayChange() && ValidIndex(index)) items_[index].second = object;
}

void TShieldStringList::SetText(const std::string& text) {
    std::istringstream stream(text);
    LoadFromStream(stream);
}

void TShieldStringList::SetCapacity(int capacity) {
    if (MayChange() && capacity > 0) items_.reserve(static_cast<std::size_t>(capacity));
}

bool TShieldStringList::LoadFromFile(const std::string& file_name) {
    std::ifstream stream(file_name, std::ios::binary);
    if (!stream) return false;
    LoadFromStream(stream);
    return true;
}

void TShieldStringList::LoadFromStream(std::istream& stream) {
    if (!MayChange()) return;
    items_.clear();
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        items_.emplace_back(std::move(line), nullptr);
    }
}

}  // namespace kv
