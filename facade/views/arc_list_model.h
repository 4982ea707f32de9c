#pragma once

#include <QAbstractTableModel>

#include <array>
#include <functional>
#include <vector>

namespace kv::facade {

class TArcListView;

// The list view's rows as Qt sees them. It holds nothing per row: every cell is asked of the view when it
// is drawn, so a list of any length costs only its row records.
class TArcListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TArcListModel(TArcListView& view);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Rows can be dragged out (the owner of the view decides what a drag carries).
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void SetCaption(int column, const QString& caption);
    // Runs `change` of the rows as a reset of the whole list.
    void Reset(const std::function<void()>& change);
    // Runs `change`, which moves the rows to `order` (element r: the old row now at r); the selection and
    // the current row follow their rows.
    void Reorder(const std::vector<std::size_t>& order, const std::function<void()>& change);

private:
    TArcListView& view_;
    std::array<QString, 9> captions_;
};

}  // namespace kv::facade
