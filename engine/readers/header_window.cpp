#include "engine/readers/header_window.h"

#include <algorithm>
#include <cstring>

#include "engine/readers/arc_lister.h"

namespace kv {

bool THeaderWindow::Read(std::int64_t offset, void* buffer, std::int64_t size) {
    if (offset < 0 || size < 0 || size > lister_.ArchiveSize() - offset) return false;
    const auto held = static_cast<std::int64_t>(bytes_.size());
    if (offset < start_ || offset + size > start_ + held) {
        // Larger headers than the window are read as they are.
        if (size > kWindowSize) return lister_.ReadExact(offset, buffer, size);
        const std::int64_t length = std::min(kWindowSize, lister_.ArchiveSize() - offset);
        bytes_.resize(static_cast<std::size_t>(length));
        start_ = offset;
        if (!lister_.ReadExact(offset, bytes_.data(), length)) {
            Clear();
            return false;
        }
    }
    std::memcpy(buffer, bytes_.data() + (offset - start_), static_cast<std::size_t>(size));
    return true;
}

void THeaderWindow::Clear() {
    bytes_.clear();
    start_ = 0;
}

}  // namespace kv
