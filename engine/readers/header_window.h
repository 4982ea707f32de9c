#pragma once

#include <cstdint>
#include <vector>

namespace kv {

class TArcLister;

// A read-ahead window over the lister's archive for walks that read many small headers: each read
// is served from one larger read of the file where it can be.
class THeaderWindow {
public:
    explicit THeaderWindow(TArcLister& lister) : lister_(lister) {}
    // Reads `size` bytes at `offset`; false unless all of them are in the archive.
    bool Read(std::int64_t offset, void* buffer, std::int64_t size);
    // Forgets what was read, for when the archive changed (a new volume).
    void Clear();

private:
    static constexpr std::int64_t kWindowSize = 64 * 1024;
    TArcLister& lister_;
    std::vector<std::uint8_t> bytes_;
    std::int64_t start_ = 0;
};

}  // namespace kv
