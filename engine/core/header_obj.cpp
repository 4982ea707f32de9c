#include "engine/core/header_obj.h"

namespace kv {

void TUnBaseHeaderObj::Add(std::uint32_t attr, std::int64_t offset) {
    items_.push_back(THeaderItem{attr, 0, offset, {}});
}

bool TUnBaseHeaderObj::Add(std::uint32_t attr, std::int64_t offset, std::span<const std::uint8_t> block) {
    if (block.size() > kMaxBlockSize) return false;
    items_.push_back(THeaderItem{attr, 0, offset, {block.begin(), block.end()}});
    return true;
}

}  // namespace kv
