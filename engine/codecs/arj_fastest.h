#pragma once

#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// ARJ's method 4: literals and matches without Huffman tables, lengths and distances sent as a unary
// width prefix and that many bits, most significant bit first. Decodes exactly `unpacked_size` bytes.
TDecodeResult UnArjFastest(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size);

}  // namespace kv
