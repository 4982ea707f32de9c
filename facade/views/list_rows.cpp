#include "facade/views/list_rows.h"

#include <QString>

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>

#include "facade/kv_comp.h"
#include "facade/views/entry_name_parts.h"

namespace kv::facade {

TRowKind RowKindOf(const TArcListItem& item) {
    if (item.Owned) return item.Entry->Comment == kUpDirMark ? TRowKind::UpDir : TRowKind::SubDir;
    return FilePartOf(item.Entry->FileName).empty() ? TRowKind::FolderEntry : TRowKind::File;
}

namespace {

void AddPseudoRow(TListRows& rows, std::string_view name, std::string_view mark) {
    TArcEntry& entry = rows.PseudoEntries.emplace_back();
    entry.FileName = name;
    entry.Comment = mark;
    rows.Items.push_back({.Entry = &entry, .Owned = true});
}

// The distinct names of the folders directly below `filter`, sorted with case ignored.
std::vector<std::string_view> SubFolderNames(const std::deque<TArcEntry>& entries, std::string_view filter) {
    std::unordered_set<std::string_view> seen;
    std::vector<std::string_view> names;
    for (const TArcEntry& entry : entries) {
        const std::string_view folder = FolderPartOf(entry.FileName);
        if (folder.empty() || !folder.starts_with(filter)) continue;
        const std::string_view name = FirstFolderOf(folder.substr(filter.size()));
        if (!name.empty() && seen.insert(name).second) names.push_back(name);
    }
    std::vector<std::pair<QString, std::string_view>> keyed;
    keyed.reserve(names.size());
    for (std::string_view name : names) keyed.emplace_back(QString::fromUtf8(name.data(), name.size()), name);
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i) names[i] = keyed[i].second;
    return names;
}

}  // namespace

TListRows BuildListRows(const TkvComp& comp) {
    TListRows rows;
    if (!comp.ArcOpen()) return rows;
    const std::deque<TArcEntry>& entries = comp.Entries();
    if (!comp.ExplorerStyle()) {
        rows.Items.reserve(entries.size());
        std::int64_t index = 0;
        for (const TArcEntry& entry : entries) rows.Items.push_back({.Entry = &entry, .EntryIndex = index++});
        return rows;
    }
    const std::string& filter = comp.DirFilter();
    if (!filter.empty()) AddPseudoRow(rows, "..", kUpDirMark);
    for (std::string_view name : SubFolderNames(entries, filter)) AddPseudoRow(rows, name, kDirMark);
    std::int64_t index = 0;
    for (const TArcEntry& entry : entries) {
        const std::string_view name = entry.FileName;
        if (FolderPartOf(name) == filter && !FilePartOf(name).empty())
            rows.Items.push_back({.Entry = &entry, .EntryIndex = index});
        ++index;
    }
    return rows;
}

}  // namespace kv::facade
