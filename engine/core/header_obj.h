#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kv {

// One entry chosen for extraction.
struct THeaderItem {
    std::uint32_t Attr = 0;               // attribute or kind word, as the reader defines it
    std::uint32_t Reserved = 0;
    std::int64_t Offset = 0;              // where the entry's header lies in the archive
    std::vector<std::uint8_t> Block;      // a copy of a format block the reader needs again (may be empty)
};

// The readers' selection list: filled in archive order during the selection pass, cleared when the
// operation ends.
class TUnBaseHeaderObj {
public:
    static constexpr std::size_t kMaxBlockSize = 65'535;

    void Add(std::uint32_t attr, std::int64_t offset);
    // False (and nothing added) when the block is larger than kMaxBlockSize.
    [[nodiscard]] bool Add(std::uint32_t attr, std::int64_t offset, std::span<const std::uint8_t> block);

    int Count() const { return static_cast<int>(items_.size()); }
    const THeaderItem& operator[](int index) const { return items_.at(static_cast<std::size_t>(index)); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    void Clear() { items_.clear(); }

private:
    std::vector<THeaderItem> items_;
};

}  // namespace kv
