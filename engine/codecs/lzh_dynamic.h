#pragma once

#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// LHA -lh1-: LZ77 over a 4 KiB window whose literals and lengths are coded by an adaptive Huffman tree
// (updated after every symbol) and whose positions by a fixed code for their upper 6 bits. The window
// starts as spaces, which the old compressors matched against. Decodes exactly `unpacked_size` bytes.
TDecodeResult UnLzhDynamic(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size);

}  // namespace kv
