#pragma once

#include <cstdint>

namespace kv {

// The most memory a decoder may take for one entry's model or dictionary: an entry asking for more is
// refused rather than letting a hostile header make the process allocate without bound.
inline constexpr std::uint64_t kMaxDecoderMemory = std::uint64_t{1} << 30;

}  // namespace kv
