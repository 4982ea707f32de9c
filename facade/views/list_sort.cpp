#include "facade/views/list_sort.h"

#include <algorithm>
#include <numeric>
#include <optional>

#include "facade/views/entry_name_parts.h"
#include "facade/views/list_columns.h"

namespace kv::facade {

namespace {

// A row's sort value, worked out once per sort so the comparisons stay cheap on large lists.
struct TSortKey {
    bool Pseudo = false;
    std::optional<QCollatorSortKey> Text;
    std::int64_t Integer = 0;
    double Real = 0;
};

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

bool IsTextColumn(int column) { return column == lcFilename || column == lcType || column == lcPath; }

TSortKey KeyOf(const TArcListItem& item, int column, const QCollator& collator,
               const std::function<QString(const TArcEntry&)>& typeNameOf) {
    const TArcEntry& entry = *item.Entry;
    TSortKey key;
    key.Pseudo = item.Owned;
    if (key.Pseudo) {
        key.Text = collator.sortKey(Utf8(entry.FileName).toLower());
        return key;
    }
    switch (column) {
        case lcFilename: key.Text = collator.sortKey(Utf8(FilePartOf(entry.FileName)).toLower()); break;
        case lcType: key.Text = collator.sortKey(typeNameOf(entry)); break;
        case lcSize: key.Integer = entry.Size; break;
        case lcPacked: key.Integer = entry.PackedSize; break;
        case lcRatio: key.Integer = entry.Ratio; break;
        case lcDateTime: key.Real = entry.DateTime; break;
        case lcPath: key.Text = collator.sortKey(Utf8(FolderPartOf(entry.FileName)).toLower()); break;
        case lcCRC: key.Integer = entry.CRC; break;  // signed: a CRC with the top bit set sorts first
        case lcAttributes: key.Integer = entry.Attributes; break;
    }
    return key;
}

int CompareValues(const TSortKey& a, const TSortKey& b, int column) {
    if (IsTextColumn(column)) return a.Text->compare(*b.Text);
    if (column == lcDateTime) return (a.Real > b.Real) - (a.Real < b.Real);
    return (a.Integer > b.Integer) - (a.Integer < b.Integer);
}

}  // namespace

std::vector<std::size_t> SortedRowOrder(const std::vector<TArcListItem>& items, int column, int direction,
                                        const QCollator& collator,
                                        const std::function<QString(const TArcEntry&)>& typeNameOf) {
    std::vector<TSortKey> keys;
    keys.reserve(items.size());
    for (const TArcListItem& item : items) keys.push_back(KeyOf(item, column, collator, typeNameOf));
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t left, std::size_t right) {
        const TSortKey& a = keys[left];
        const TSortKey& b = keys[right];
        if (a.Pseudo && b.Pseudo) return a.Text->compare(*b.Text) < 0;
        if (a.Pseudo != b.Pseudo) return a.Pseudo;
        return CompareValues(a, b, column) * direction < 0;
    });
    return order;
}

}  // namespace kv::facade
