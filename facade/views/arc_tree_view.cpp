#include "facade/views/arc_tree_view.h"

#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_map>

#include "facade/kv_comp.h"
#include "facade/views/entry_name_parts.h"

namespace kv::facade {

namespace {

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A folder path as the tree holds it: without a leading delimiter and without a drive ("C:/").
std::string_view TreePathOf(std::string_view folder) {
    if (folder.starts_with(platform::kPathDelim)) folder.remove_prefix(1);
    if (folder.size() >= 3 && folder[1] == ':' && folder[2] == platform::kPathDelim) folder.remove_prefix(3);
    return folder;
}

// The distinct folder parts of the entry names, sorted with case ignored.
std::vector<std::string_view> SortedFolders(const std::deque<TArcEntry>& entries) {
    std::set<std::string_view> distinct;
    for (const TArcEntry& entry : entries) {
        const std::string_view folder = FolderPartOf(entry.FileName);
        if (!folder.empty()) distinct.insert(folder);
    }
    std::vector<std::pair<QString, std::string_view>> keyed;
    keyed.reserve(distinct.size());
    for (std::string_view folder : distinct) keyed.emplace_back(Utf8(folder), folder);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
    });
    std::vector<std::string_view> folders;
    folders.reserve(keyed.size());
    for (const auto& [text, folder] : keyed) folders.push_back(folder);
    return folders;
}

}  // namespace

TArcTreeView::TArcTreeView(QWidget* parent)
    : QTreeWidget(parent),
      archive_icon_(QIcon::fromTheme(QStringLiteral("package-x-generic"), style()->standardIcon(QStyle::SP_DriveHDIcon))),
      folder_icon_(style()->standardIcon(QStyle::SP_DirClosedIcon)),
      open_folder_icon_(style()->standardIcon(QStyle::SP_DirOpenIcon)) {
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &TArcTreeView::FollowSelection);
    connect(this, &QTreeWidget::currentItemChanged, this, &TArcTreeView::ShowOpenFolder);
}

TArcTreeView::~TArcTreeView() = default;

void TArcTreeView::Rebuild() {
    // Building and selecting the shown folder must not feed back into the facade's folder.
    const QSignalBlocker blocker(this);
    clear();
    const TkvComp* comp = kvComp();
    if (!comp || !comp->ExplorerStyle() || !comp->ArcOpen()) return;

    // The nodes hang below a root that is not in the tree yet, so adding them costs no redraw.
    auto root = std::make_unique<QTreeWidgetItem>(QStringList{Utf8(FilePartOf(comp->ArcFilename()))});
    root->setIcon(0, archive_icon_);
    std::unordered_map<std::string_view, QTreeWidgetItem*> node_of_path;  // by tree path up to the node
    for (std::string_view folder : SortedFolders(comp->Entries())) {
        const std::string_view path = TreePathOf(folder);
        QTreeWidgetItem* node = root.get();
        for (std::size_t start = 0; start < path.size();) {
            const std::size_t end = std::min(path.find(platform::kPathDelim, start), path.size());
            QTreeWidgetItem*& child = node_of_path[path.substr(0, end + 1)];
            if (!child) {
                child = new QTreeWidgetItem(node, QStringList{Utf8(path.substr(start, end - start))});
                child->setIcon(0, folder_icon_);
            }
            node = child;
            start = end + 1;
        }
    }
    addTopLevelItem(root.release());
    RootNode()->setExpanded(true);
    if (!SelectFolder(comp->DirFilter())) setCurrentItem(RootNode());
    ShowOpenFolder(currentItem(), nullptr);
}

bool TArcTreeView::SelectFolder(const std::string& Path) {
    const std::string folder = platform::IncludeTrailingDelimiter(Path);
    const std::string_view path = TreePathOf(folder);
    QTreeWidgetItem* node = RootNode();
    if (!node) return false;
    for (std::size_t start = 0; start < path.size() && node;) {
        const std::size_t end = std::min(path.find(platform::kPathDelim, start), path.size());
        const QString head = Utf8(path.substr(start, end - start));
        QTreeWidgetItem* parent = node;
        node = nullptr;
        for (int i = 0; i < parent->childCount() && !node; ++i) {
            if (parent->child(i)->text(0) == head) node = parent->child(i);
        }
        start = end + 1;
    }
    if (!node) return false;
    for (QTreeWidgetItem* above = node->parent(); above; above = above->parent()) above->setExpanded(true);
    setCurrentItem(node);
    scrollToItem(node);
    return true;
}

std::string TArcTreeView::SelectedFolder() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? std::string() : FolderPathOf(selected.front());
}

std::string TArcTreeView::FolderPathOf(const QTreeWidgetItem* Node) const {
    if (!Node || !Node->parent()) return {};
    return FolderPathOf(Node->parent()) + Node->text(0).toStdString() + platform::kPathDelim;
}

void TArcTreeView::GetSelectedFolderEntries(std::vector<std::string>& List) const {
    if (!kvComp()) return;
    List = kvComp()->EntriesUnder(SelectedFolder()).value_or(std::vector<std::string>());
}

void TArcTreeView::FollowSelection() {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    TkvComp* comp = kvComp();
    if (selected.isEmpty() || !comp) return;
    const std::string folder = FolderPathOf(selected.front());
    if (folder != comp->DirFilter()) comp->SetDirFilter(folder);
}

void TArcTreeView::ShowOpenFolder(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (previous && previous->parent()) previous->setIcon(0, folder_icon_);
    if (current && current->parent()) current->setIcon(0, open_folder_icon_);
}

}  // namespace kv::facade
