#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv::platform {

// Random access to the bytes of a file: reads up to count bytes at offset and returns how many arrived.
using TReadAt = std::function<std::int64_t(std::int64_t offset, void* buffer, std::int64_t count)>;

// The resources of a Windows executable, read as data: the file is parsed, never loaded or run. Every
// offset and size taken from the file is checked against the file before it is used.
class TPeResources {
public:
    // Parses the PE headers and finds the resource directory; nothing when the file is not a PE image
    // with resources.
    static std::optional<TPeResources> Open(TReadAt read_at, std::int64_t file_size);

    // The string resource `id` (string tables, first language), cut to at most max_chars UTF-16 units;
    // nothing when the executable has no such string.
    std::optional<std::u16string> LoadString(std::uint32_t id, std::size_t max_chars) const;

private:
    struct Section {
        std::uint32_t VirtualAddress;
        std::uint32_t VirtualSize;
        std::uint32_t RawOffset;
        std::uint32_t RawSize;
    };
    struct DirectoryEntry {
        bool IsDirectory;
        std::uint32_t Offset;  // from the start of the resource directory
    };

    TPeResources(TReadAt read_at, std::int64_t file_size) : read_at_(std::move(read_at)), file_size_(file_size) {}

    std::optional<std::int64_t> RvaToOffset(std::uint32_t rva) const;
    bool ReadExact(std::int64_t offset, void* buffer, std::size_t count) const;
    // The entry for `id` in the directory at `offset` (the first entry when id is nothing).
    std::optional<DirectoryEntry> FindEntry(std::uint32_t offset, std::optional<std::uint32_t> id) const;

    TReadAt read_at_;
    std::int64_t file_size_;
    std::vector<Section> sections_;
    std::int64_t resource_root_ = 0;   // file offset of the resource directory
    std::uint32_t resource_size_ = 0;  // bytes of the resource data, bounded by the file
};

}  // namespace kv::platform
