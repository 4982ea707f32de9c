// Reads a ZIP archive's directory through the ZIP manager, as the GUI does when it opens an archive, and
// tells the heap the directory takes: bytes per entry in all, and beyond the bytes of the entry's name.
#include <malloc.h>

#include <cstdio>
#include <string>

#include "zipmanager/zip_manager.h"

namespace {

// Heap in use, counting the large blocks malloc maps directly.
std::size_t HeapInUse() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ARCHIVE.zip\n", argv[0]);
        return 2;
    }
    kv::TZipManager manager;
    manager.SetUnattended(true);
    const std::size_t before = HeapInUse();
    manager.SetZipFileName(argv[1]);
    const std::size_t after = HeapInUse();
    if (manager.ErrCode() != 0) {
        std::fprintf(stderr, "%d %s\n", manager.ErrCode(), manager.Message().c_str());
        return 1;
    }
    const auto entries = static_cast<double>(manager.EntryCount());
    std::size_t name_bytes = 0;
    for (const auto& entry : manager.DirEntries()) name_bytes += entry.Name().size();
    const double per_entry = entries > 0 ? static_cast<double>(after - before) / entries : 0;
    std::printf("%d entries, %.0f heap bytes per entry, %.0f beyond the name\n", manager.EntryCount(), per_entry,
                entries > 0 ? per_entry - static_cast<double>(name_bytes) / entries : 0);
    return 0;
}
