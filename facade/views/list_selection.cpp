#include "facade/views/list_selection.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "facade/kv_comp.h"
#include "facade/views/entry_name_parts.h"

namespace kv::facade {

std::vector<std::int64_t> SelectedEntryIndexesOf(const TkvComp& comp, const std::vector<TArcListItem>& items,
                                                 const std::vector<std::int64_t>& selectedRows) {
    // One pass over the entries serves every selected sub-folder row, however many there are.
    std::unordered_map<std::string_view, std::vector<std::int64_t>> below;
    for (std::int64_t row : selectedRows) {
        const TArcListItem& item = items[static_cast<std::size_t>(row)];
        if (RowKindOf(item) == TRowKind::SubDir) below.try_emplace(item.Entry->FileName);
    }
    if (!below.empty()) {
        const std::string& filter = comp.DirFilter();
        std::int64_t index = 0;
        for (const TArcEntry& entry : comp.Entries()) {
            const std::string_view name = entry.FileName;
            if (name.starts_with(filter)) {
                const auto folder = below.find(FirstFolderOf(name.substr(filter.size())));
                if (folder != below.end()) folder->second.push_back(index);
            }
            ++index;
        }
    }
    std::vector<std::int64_t> indexes;
    for (std::int64_t row : selectedRows) {
        const TArcListItem& item = items[static_cast<std::size_t>(row)];
        switch (RowKindOf(item)) {
            case TRowKind::UpDir: break;
            case TRowKind::SubDir: {
                const std::vector<std::int64_t>& under = below[item.Entry->FileName];
                indexes.insert(indexes.end(), under.begin(), under.end());
                break;
            }
            default: indexes.push_back(item.EntryIndex);
        }
    }
    return indexes;
}

std::vector<std::string> SelectionNamesOf(const TkvComp& comp, const std::vector<std::int64_t>& entryIndexes,
                                          bool wholeNames) {
    std::vector<std::string> names;
    const std::deque<TArcEntry>& entries = comp.Entries();
    const std::string& filter = comp.DirFilter();
    std::unordered_set<std::string> sub_folders;
    for (std::int64_t index : entryIndexes) {
        const std::string& name = entries[static_cast<std::size_t>(index)].FileName;
        const std::string_view folder = FolderPartOf(name);
        if (wholeNames || !comp.ExplorerStyle() || folder.size() <= filter.size() || !name.starts_with(filter)) {
            names.push_back(name);
            continue;
        }
        // Whatever lies below a sub-folder, at any depth, is carried by that sub-folder.
        std::string sub_folder = filter;
        sub_folder += FirstFolderOf(folder.substr(filter.size()));
        sub_folder += platform::kPathDelim;
        if (sub_folders.insert(sub_folder).second) names.push_back(std::move(sub_folder));
    }
    return names;
}

}  // namespace kv::facade
