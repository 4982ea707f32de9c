#include "facade/views/arc_list_view.h"

#include <QHeaderView>

#include <algorithm>

#include "facade/kv_comp.h"
#include "facade/views/arc_list_model.h"
#include "facade/views/entry_cells.h"
#include "facade/views/entry_name_parts.h"
#include "facade/views/file_types.h"
#include "facade/views/list_columns.h"
#include "facade/views/list_selection.h"
#include "facade/views/list_sort.h"

namespace kv::facade {

namespace {

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// An answer of the translation that is empty or the language engine's error marker is no translation.
bool IsTranslation(const QString& text) { return !text.isEmpty() && text != QLatin1String("error"); }

}  // namespace

TArcListView::TArcListView(QWidget* parent) : QTreeView(parent), model_(new TArcListModel(*this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // lets the view skip measuring rows: long lists stay quick
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    header()->setSectionsMovable(true);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    for (std::size_t i = 0; i < kListColumns.size(); ++i) setColumnWidth(static_cast<int>(i), kListColumns[i].Width);
    connect(header(), &QHeaderView::sectionClicked, this, &TArcListView::ColumnClick);
}

void TArcListView::startDrag(Qt::DropActions) {
    if (OnStartDrag && selectionModel()->hasSelection()) OnStartDrag(this);
}

// The model reads the rows, which go before the Qt base class does; the view lets go of it first.
TArcListView::~TArcListView() { setModel(nullptr); }

void TArcListView::Refill() {
    model_->Reset([this] { rows_ = kvComp() ? BuildListRows(*kvComp()) : TListRows(); });
    RaiseSelInfo();
}

std::vector<std::string> TArcListView::SelectedNames() const {
    std::vector<std::string> names;
    GetSelectionNames(names, true);
    return names;
}

void TArcListView::FolderUp() {
    TkvComp* comp = kvComp();
    if (!comp || !comp->ExplorerStyle()) return;
    std::string_view folder = comp->DirFilter();
    if (!folder.empty()) folder.remove_suffix(1);
    comp->SetDirFilter(std::string(FolderPartOf(folder)));
}

void TArcListView::UpdateColumnCaptions() {
    for (std::size_t i = 0; i < kListColumns.size(); ++i) {
        const int column = static_cast<int>(i);
        const QString caption = model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        model_->SetCaption(column, Translate(kListColumns[i].CaptionKey, caption));
    }
}

void TArcListView::ColumnClick(int column) {
    if (column == sort_column_) {
        sort_direction_ = -sort_direction_;
    } else {
        sort_column_ = column;
        sort_direction_ = 1;
    }
    const std::vector<std::size_t> order = SortedRowOrder(rows_.Items, sort_column_, sort_direction_, collator_,
                                                          [this](const TArcEntry& entry) { return EntryTypeName(entry); });
    model_->Reorder(order, [&] {
        std::vector<TArcListItem> sorted;
        sorted.reserve(order.size());
        for (std::size_t row : order) sorted.push_back(rows_.Items[row]);
        rows_.Items = std::move(sorted);
    });
}

std::vector<std::int64_t> TArcListView::SelectedItemIndexes() const {
    std::vector<std::int64_t> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<std::int64_t> TArcListView::SelectedEntryIndexes() const {
    if (!kvComp()) return {};
    return SelectedEntryIndexesOf(*kvComp(), rows_.Items, SelectedItemIndexes());
}

std::int64_t TArcListView::SelSize() const {
    std::int64_t sum = 0;
    for (std::int64_t index : SelectedEntryIndexes()) sum += kvComp()->Entries()[static_cast<std::size_t>(index)].Size;
    return sum;
}

std::int64_t TArcListView::SelPackedSize() const {
    std::int64_t sum = 0;
    for (std::int64_t index : SelectedEntryIndexes())
        sum += kvComp()->Entries()[static_cast<std::size_t>(index)].PackedSize;
    return sum;
}

void TArcListView::GetSelectionNames(std::vector<std::string>& List, bool WholeNames) const {
    if (!kvComp()) return;
    std::vector<std::string> names = SelectionNamesOf(*kvComp(), SelectedEntryIndexes(), WholeNames);
    List.insert(List.end(), std::make_move_iterator(names.begin()), std::make_move_iterator(names.end()));
}

QString TArcListView::TypeNameOf(const QString& Extension) {
    const auto cached = type_names_.constFind(Extension);
    if (cached != type_names_.cend()) return *cached;
    return *type_names_.insert(Extension, FileTypeDescription(Extension, Translate("cptnUnknown", QStringLiteral("Unknown"))));
}

int TArcListView::IconIndexOf(const QString& Key) {
    const QString key = Key.toLower();
    const auto cached = icon_indexes_.constFind(key);
    if (cached != icon_indexes_.cend()) return *cached;
    icons_.push_back(FileTypeIcon(key));
    return *icon_indexes_.insert(key, static_cast<int>(icons_.size() - 1));
}

QString TArcListView::EntryTypeName(const TArcEntry& entry) {
    return TypeNameOf(Utf8(platform::ExtractFileExt(entry.FileName)));
}

QString TArcListView::CellText(int row, int column) {
    const TkvComp* comp = kvComp();
    if (!comp || !comp->ListFiles() || row < 0 || static_cast<std::size_t>(row) >= rows_.Items.size()) return {};
    const TArcListItem& item = rows_.Items[static_cast<std::size_t>(row)];
    const TArcEntry& entry = *item.Entry;
    const TRowKind kind = RowKindOf(item);
    if (kind == TRowKind::UpDir || kind == TRowKind::SubDir) {
        switch (column) {
            case lcFilename: return Utf8(entry.FileName);
            case lcType: return kind == TRowKind::UpDir ? Translate("cptnUpDir", QStringLiteral("Up-Dir")) : Translate("cptnDirectory", QStringLiteral("Directory"));
            case lcPath: return Utf8(comp->DirFilter());
            default: return {};
        }
    }
    if (kind == TRowKind::FolderEntry) {
        const std::string_view folder = std::string_view(entry.FileName).substr(0, entry.FileName.size() - 1);
        switch (column) {
            case lcFilename: return Utf8(FilePartOf(folder));
            case lcType: return Translate("cptnDirectory", QStringLiteral("Directory"));
            case lcDateTime: return DateTimeText(entry.DateTime, locale_);
            case lcPath: return Utf8(FolderPartOf(folder));
            default: return {};
        }
    }
    switch (column) {
        case lcFilename: return Utf8(FilePartOf(entry.FileName)) + (entry.Encrypted ? QStringLiteral("+") : QString());
        case lcType: return EntryTypeName(entry);
        case lcSize: return GroupedNumber(entry.Size, thousands_separator_);
        case lcPacked: return GroupedNumber(entry.PackedSize, thousands_separator_);
        case lcRatio: return QString::number(entry.Ratio) + QLatin1Char('%');
        case lcDateTime: return DateTimeText(entry.DateTime, locale_);
        case lcPath: return Utf8(FolderPartOf(entry.FileName));
        case lcCRC: return CrcText(entry.CRC);
        case lcAttributes: return AttributesText(entry.Attributes);
        default: return {};
    }
}

QIcon TArcListView::RowIcon(int row) {
    const TkvComp* comp = kvComp();
    if (!comp || !comp->ListFiles() || row < 0 || static_cast<std::size_t>(row) >= rows_.Items.size()) return {};
    const TArcListItem& item = rows_.Items[static_cast<std::size_t>(row)];
    const bool folder = RowKindOf(item) != TRowKind::File;
    const QString key = folder ? QStringLiteral("Folder") : Utf8(platform::ExtractFileExt(item.Entry->FileName));
    return icons_[static_cast<std::size_t>(IconIndexOf(key))];
}

void TArcListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    RaiseSelInfo();
}

void TArcListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    RaiseSelInfo();
}

QString TArcListView::Translate(const char* key, const QString& current) {
    QString text = current;
    if (OnMsgString) OnMsgString(this, QString::fromLatin1(key), text);
    return IsTranslation(text) ? text : current;
}

void TArcListView::RaiseSelInfo() {
    if (OnSelInfo) OnSelInfo(this);
}

}  // namespace kv::facade
