#pragma once

#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// The packed data of a Unix compress (.Z) file: LZW codes of 9 up to `settings & 0x1F` bits (at most 16),
// with a CLEAR code (256) when bit 0x80 of `settings` (the byte after the magic 1F 9D) is set. The source
// starts right behind that byte. The stream has no end marker: it ends with the input.
TDecodeResult UnLzw(TByteSource& source, TByteSink& sink, std::uint8_t settings);

}  // namespace kv
