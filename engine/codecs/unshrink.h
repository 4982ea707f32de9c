#pragma once

#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// ZIP method 1 (Shrink): dynamic LZW with 9 to 13 bit codes and partial clearing. Decodes at most
// `unpacked_size` bytes and also stops where the input ends; bounded memory, input in any chunks.
TDecodeResult Unshrink(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size);

}  // namespace kv
