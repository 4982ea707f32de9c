#pragma once

#include <QStringList>

#include <string>
#include <vector>

#include "facade/kv_comp.h"
#include "facade/views/arc_list_view.h"
#include "facade/views/arc_tree_view.h"
#include "facade/views/list_columns.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace kv::test {

// A facade over a ZIP written into a temporary folder, with a list and a tree view bound to it.
struct TViewsFixture {
    TempDir dir;
    facade::TkvComp comp;
    facade::TArcListView list;
    facade::TArcTreeView tree;

    TViewsFixture() {
        list.SetkvComp(&comp);
        tree.SetkvComp(&comp);
        comp.SetListFiles(true);
    }

    bool Open(const std::vector<ZipMember>& members, bool explorer) {
        comp.SetExplorerStyle(explorer);
        const std::string path = (dir / "a.zip").string();
        WriteFile(path, BuildZip(members));
        return comp.Open(path);
    }

    // Members holding their own names as data.
    bool OpenNames(const std::vector<std::string>& names, bool explorer) {
        std::vector<ZipMember> members;
        for (const std::string& name : names) members.push_back({.name = name, .data = name});
        return Open(members, explorer);
    }

    QString Cell(int row, int column) { return list.CellText(row, column); }

    QStringList Column(int column) {
        QStringList texts;
        for (int row = 0; row < static_cast<int>(list.ArcItems().size()); ++row) texts << Cell(row, column);
        return texts;
    }

    // Selects exactly the rows whose file-name cell is one of `captions`.
    void SelectRows(const QStringList& captions) {
        list.clearSelection();
        for (int row = 0; row < static_cast<int>(list.ArcItems().size()); ++row) {
            if (captions.contains(Cell(row, facade::lcFilename)))
                list.selectionModel()->select(list.model()->index(row, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
};

}  // namespace kv::test
