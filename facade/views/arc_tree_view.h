#pragma once

#include <QIcon>
#include <QTreeWidget>

#include <string>
#include <vector>

#include "facade/arc_view_links.h"

namespace kv::facade {

// The folder tree of the facade's archive in explorer style: the archive as root, one node per folder
// (names compared with case), siblings in the order of their paths with case ignored. Selecting a node shows
// that folder in the list.
class TArcTreeView : public QTreeWidget, public TArcTreeViewLink {
    Q_OBJECT
public:
    explicit TArcTreeView(QWidget* parent = nullptr);
    ~TArcTreeView() override;

    void Rebuild() override;
    bool SelectFolder(const std::string& Path) override;
    std::string SelectedFolder() const override;

    // "" for the root; otherwise the parent's path, the node's text and the path delimiter.
    std::string FolderPathOf(const QTreeWidgetItem* Node) const;
    // The names of the entries below the selected folder.
    void GetSelectedFolderEntries(std::vector<std::string>& List) const;
    QTreeWidgetItem* RootNode() const { return topLevelItem(0); }

private:
    void FollowSelection();
    void ShowOpenFolder(QTreeWidgetItem* current, QTreeWidgetItem* previous);

    QIcon archive_icon_;
    QIcon folder_icon_;
    QIcon open_folder_icon_;
};

}  // namespace kv::facade
