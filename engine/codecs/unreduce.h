#pragma once

#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// ZIP methods 2 to 5 (Reduce): follower sets and the probabilistic expansion; `factor` is 1 to 4
// (the method minus 1). Decodes exactly `unpacked_size` bytes; bounded memory, input in any chunks.
TDecodeResult Unreduce(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size, int factor);

}  // namespace kv
