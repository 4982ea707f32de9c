#pragma once

#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// LArc's LZSS methods, whose matches name an absolute place in a ring buffer rather than a distance:
// -lz5- (4 KiB ring that starts with a fixed pattern; a flag byte ahead of each 8 items, a match in two
// bytes) and -lzs- (2 KiB ring of spaces; a flag bit ahead of each item, a match in 15 bits).
// Each decodes exactly `unpacked_size` bytes.
TDecodeResult UnLarcLz5(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size);
TDecodeResult UnLarcLzs(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size);

}  // namespace kv
