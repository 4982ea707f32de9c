#include "engine/codecs/legacy_output.h"

namespace kv {

bool TLegacyOutput::Flush() {
    if (flushed_ == total_) return true;
    const std::uint8_t* block = ring_.data() + (flushed_ & kRingMask);
    const auto size = static_cast<std::size_t>(total_ - flushed_);
    flushed_ = total_;
    return sink_.Write(block, size);
}

}  // namespace kv
