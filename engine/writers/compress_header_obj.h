#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kv {

// What a run does with one item of its header list.
enum TCompressAction { caCompress = 0, caKeep = 1, caDrop = 2, caRename = 3 };

inline constexpr std::size_t kNoIndex = static_cast<std::size_t>(-1);

// One entry of the old archive or one file to add.
struct TCompressHeader {
    std::string StoredName;  // UTF-8, "/" between folders; a folder ends with "/"
    TCompressAction Action = caKeep;

    // An entry of the old archive: the format's own record of it (its raw header) and its place there.
    std::size_t FormatIndex = kNoIndex;
    std::int64_t Offset = 0;
    std::int64_t Size = 0;
    std::uint32_t DosDateTime = 0;
    std::uint64_t UnpackedSize = 0;
    std::uint32_t Attributes = 0;  // MS-DOS bits

    // A file to add.
    std::string DiskPath;
    bool IsDirectory = false;
    bool IsLink = false;  // a symbolic link stored as a link
    // The old entry this file takes the place of; it is kept after all when the file cannot be added.
    std::size_t Replaces = kNoIndex;

    bool IsOldEntry() const { return FormatIndex != kNoIndex; }
};

// The run's list: the old archive's entries in archive order, then the files to add. Names are looked up
// exactly: on this file system "a.h" and "A.h" are two files, and both are kept; dropped items are not found.
class TCompressHeaderObj {
public:
    std::size_t Add(TCompressHeader item);
    std::optional<std::size_t> Find(std::string_view stored_name) const;
    void SetAction(std::size_t index, TCompressAction action);
    // Gives an old entry a new name (action 3).
    void Rename(std::size_t index, std::string new_name);

    std::size_t Count() const { return items_.size(); }
    std::size_t CountOf(TCompressAction action) const;
    TCompressHeader& operator[](std::size_t index) { return items_[index]; }
    const TCompressHeader& operator[](std::size_t index) const { return items_[index]; }

private:
    std::vector<TCompressHeader> items_;
    std::unordered_multimap<std::string, std::size_t> by_name_;
};

}  // namespace kv
