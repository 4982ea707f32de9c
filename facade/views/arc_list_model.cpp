#include "facade/views/arc_list_model.h"

#include "facade/views/arc_list_view.h"
#include "facade/views/list_columns.h"

namespace kv::facade {

TArcListModel::TArcListModel(TArcListView& view) : QAbstractTableModel(&view), view_(view) {
    for (std::size_t i = 0; i < kListColumns.size(); ++i) captions_[i] = QString::fromLatin1(kListColumns[i].Caption);
}

int TArcListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(view_.ArcItems().size());
}

int TArcListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kListColumns.size());
}

QVariant TArcListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
        case Qt::DisplayRole: return view_.CellText(index.row(), index.column());
        case Qt::DecorationRole:
            if (index.column() != lcFilename) return {};
            return view_.RowIcon(index.row());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (kListColumns[index.column()].RightAligned ? Qt::AlignRight : Qt::AlignLeft));
        default: return {};
    }
}

Qt::ItemFlags TArcListModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) | (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QVariant TArcListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return captions_[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (kListColumns[section].RightAligned ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

void TArcListModel::SetCaption(int column, const QString& caption) {
    captions_[column] = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void TArcListModel::Reset(const std::function<void()>& change) {
    beginResetModel();
    change();
    endResetModel();
}

void TArcListModel::Reorder(const std::vector<std::size_t>& order, const std::function<void()>& change) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> new_row_of(order.size());
    for (std::size_t row = 0; row < order.size(); ++row) new_row_of[order[row]] = static_cast<int>(row);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) after.append(this->index(new_row_of[index.row()], index.column()));
    change();
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace kv::facade
