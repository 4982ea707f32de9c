// The sparse forms of TAR members: the old GNU header with its extension blocks, and the maps of the pax
// formats (records, a comma list, or text at the start of the data).
#include "engine/readers/tar_sparse.h"

#include <charconv>
#include <limits>

namespace kv {
namespace {

constexpr std::size_t kNumberSize = 12;
constexpr std::size_t kEntrySize = 2 * kNumberSize;
// Where the old GNU header keeps its 4 stretches, the extension flag and the file's size.
constexpr std::size_t kHeaderEntriesAt = 386;
constexpr int kHeaderEntries = 4;
constexpr std::size_t kHeaderExtendedAt = 482;
constexpr std::size_t kRealSizeAt = 483;
// An extension block: 21 stretches, then its own extension flag.
constexpr int kExtensionEntries = 21;
constexpr std::size_t kExtensionExtendedAt = 504;
// More stretches than any real file has; a map beyond it is refused rather than held in memory.
constexpr std::size_t kMaxRegions = 1 << 20;

std::string_view Field(const TTarBlock& block, std::size_t at) {
    return {reinterpret_cast<const char*>(block.data() + at), kNumberSize};
}

bool ReadEntries(const TTarBlock& block, std::size_t at, int count, std::vector<TSparseRegion>& into, bool& sound) {
    for (int i = 0; i < count; ++i, at += kEntrySize) {
        if (block[at] == 0) return false;  // the list ends here
        const auto offset = ParseTarNumber(Field(block, at));
        const auto length = ParseTarNumber(Field(block, at + kNumberSize));
        if (!offset || !length || into.size() >= kMaxRegions) {
            sound = false;
            return false;
        }
        into.push_back({*offset, *length});
    }
    return true;
}

}  // namespace

bool ReadOldGnuSparseHeader(const TTarBlock& block, std::vector<TSparseRegion>& into, bool& sound) {
    ReadEntries(block, kHeaderEntriesAt, kHeaderEntries, into, sound);
    return sound && block[kHeaderExtendedAt] != 0;
}

bool ReadOldGnuSparseExtension(const TTarBlock& block, std::vector<TSparseRegion>& into, bool& sound) {
    ReadEntries(block, 0, kExtensionEntries, into, sound);
    return sound && block[kExtensionExtendedAt] != 0;
}

std::optional<std::int64_t> OldGnuSparseRealSize(const TTarBlock& block) {
    return ParseTarNumber(Field(block, kRealSizeAt));
}

bool PairSparseNumbers(const std::vector<std::int64_t>& numbers, std::vector<TSparseRegion>& into) {
    if (numbers.size() % 2 != 0 || numbers.size() / 2 > kMaxRegions) return false;
    for (std::size_t i = 0; i < numbers.size(); i += 2) into.push_back({numbers[i], numbers[i + 1]});
    return true;
}

std::optional<std::size_t> ParseSparseMapText(std::string_view text, std::vector<TSparseRegion>& into) {
    std::size_t at = 0;
    const auto next_number = [&]() -> std::optional<std::int64_t> {
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos || end == at) return std::nullopt;
        std::int64_t value = 0;
        const auto [stop, error] = std::from_chars(text.data() + at, text.data() + end, value);
        if (error != std::errc() || stop != text.data() + end || value < 0) return std::nullopt;
        at = end + 1;
        return value;
    };
    const auto count = next_number();
    if (!count || static_cast<std::uint64_t>(*count) > kMaxRegions) return std::nullopt;
    for (std::int64_t i = 0; i < *count; ++i) {
        const auto offset = next_number();
        const auto length = offset ? next_number() : std::nullopt;
        if (!length) return std::nullopt;
        into.push_back({*offset, *length});
    }
    return at;
}

bool SparseMapFits(const std::vector<TSparseRegion>& regions, std::int64_t real_size, std::int64_t stored_size) {
    std::int64_t file_end = 0;  // past the previous stretch
    std::int64_t data = 0;      // stored bytes the stretches so far take
    for (const TSparseRegion& region : regions) {
        if (region.Offset < file_end || region.Length < 0 || region.Length > real_size - region.Offset ||
            region.Length > stored_size - data) {
            return false;
        }
        file_end = region.Offset + region.Length;
        data += region.Length;
    }
    return real_size >= 0;
}

}  // namespace kv
