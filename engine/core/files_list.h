#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

enum TArcSortOptions { soUnsort, soByName, soByType, soBySize, soByTime, soByPath };

// One item found by the file scanner.
struct TFileObject {
    std::string Name;       // empty for a directory item
    std::string Directory;  // with its trailing delimiter; for a directory item the directory itself
    std::uint64_t Size = 0;
    std::uint32_t Attributes = 0;  // MS-DOS bits
    std::uint32_t Time = 0;        // last write, local MS-DOS date/time
};

// The scanner's result list. With a sort order, an item added goes before the items that compare equal
// to it; names, extensions and directories compare case-insensitively, sizes as full 64-bit values.
// Items added in a row are put in place together the next time the list is read, which keeps a scan of
// many files at n log n while every read sees the list in order.
class TFilesList {
public:
    TArcSortOptions SortOrder() const { return order_; }
    // Re-sorts the list; items that compare equal keep their order.
    void SetSortOrder(TArcSortOptions order);

    void Add(TFileObject item);
    void Clear();

    std::size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    const TFileObject& operator[](std::size_t index) const;
    std::vector<TFileObject>::const_iterator begin() const;
    std::vector<TFileObject>::const_iterator end() const;

private:
    // Puts the items added since the last read in place.
    void Settle() const;

    TArcSortOptions order_ = soUnsort;
    mutable std::vector<TFileObject> items_;
    mutable std::size_t settled_ = 0;  // items_[0, settled_) are in order
};

}  // namespace kv
