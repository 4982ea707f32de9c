#pragma once

#include <cstdint>

namespace kv {

// The most memory a decoder may take for one entry's model or dictionary: an entry asking for more is
// refused rather than letting a hostile header make the process allocate without bound.
inline constexpr std::uint64_t kMaxDecoderMemory = std::uint64_t{1} << 30;

// Decoders are kept per thread for the next entry; one that took more than this is let go instead, so a
// long-lived thread does not hold a large model or dictionary after the one entry that needed it.
inline constexpr std::uint64_t kMaxKeptDecoderMemory = std::uint64_t{64} << 20;

}  // namespace kv
