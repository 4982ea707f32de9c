#pragma once

#include <QCollator>
#include <QHash>
#include <QIcon>
#include <QLocale>
#include <QString>
#include <QTreeView>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "facade/arc_view_links.h"
#include "facade/views/list_rows.h"

namespace kv::facade {

class TArcListModel;

// Asked for every caption and word the views show: MessageText holds the English text and may be replaced.
using TkvMsgStringEvent =
    std::function<void(QObject* Sender, const QString& MessageIdentifier, QString& MessageText)>;
using TkvViewNotifyEvent = std::function<void(QObject* Sender)>;

// The entries of the facade's archive as a report list of nine columns: every entry (flat style) or the
// folder DirFilter names (explorer style) with rows for its sub-folders and its parent. Rows are virtual:
// cells are formatted only when drawn.
class TArcListView : public QTreeView, public TArcListViewLink {
    Q_OBJECT
public:
    explicit TArcListView(QWidget* parent = nullptr);
    ~TArcListView() override;

    void Refill() override;
    // The full names of the selected entries, a sub-folder row giving all entries below it.
    std::vector<std::string> SelectedNames() const override;

    // In explorer style, shows the parent of the current folder.
    void FolderUp();
    void UpdateColumnCaptions();
    // Sorts by the column with that tag: ascending, or the other way round when it was the last one sorted.
    void ColumnClick(int column);

    const std::vector<TArcListItem>& ArcItems() const { return rows_.Items; }
    int SortColumn() const { return sort_column_; }
    int SortDirection() const { return sort_direction_; }
    std::int64_t SelSize() const;
    std::int64_t SelPackedSize() const;
    std::vector<std::int64_t> SelectedEntryIndexes() const;
    // The selected rows, top to bottom.
    std::vector<std::int64_t> SelectedItemIndexes() const;
    // Appends the selection's names: whole entry names, or in explorer style without `WholeNames` the
    // files of the current folder and its sub-folders (each once, with the path delimiter).
    void GetSelectionNames(std::vector<std::string>& List, bool WholeNames) const;

    // The description of a file type by its extension (with its dot); cached.
    QString TypeNameOf(const QString& Extension);
    // The position of the icon of an extension or of "Folder" in IconList; cached.
    int IconIndexOf(const QString& Key);
    const std::vector<QIcon>& IconList() const { return icons_; }

    QString CellText(int row, int column);
    QIcon RowIcon(int row);

    TkvViewNotifyEvent OnSelInfo;
    TkvMsgStringEvent OnMsgString;
    // The mouse dragged selected rows; without a handler nothing is dragged.
    TkvViewNotifyEvent OnStartDrag;

protected:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void startDrag(Qt::DropActions supported) override;

private:
    // The owner's translation of a caption key, or `current` when it has none.
    QString Translate(const char* key, const QString& current);
    QString EntryTypeName(const TArcEntry& entry);
    void RaiseSelInfo();

    TArcListModel* model_;  // owned as a Qt child
    TListRows rows_;
    int sort_column_ = -1;
    int sort_direction_ = 1;
    const QLocale locale_ = QLocale::system();
    const QString thousands_separator_ = locale_.groupSeparator();
    QCollator collator_{locale_};
    QHash<QString, QString> type_names_;
    QHash<QString, int> icon_indexes_;
    std::vector<QIcon> icons_;
};

}  // namespace kv::facade
