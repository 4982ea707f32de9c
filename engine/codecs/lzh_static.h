#pragma once

#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// The static-Huffman LZ77 of LHA -lh4- to -lh7-, ARJ methods 1 to 3, ZOO's LZH and BH's "Fused" methods:
// blocks that each send their Huffman code lengths (literal/length codes, then position codes) ahead of
// the codes themselves, over a sliding window.
struct TLzhStaticParams {
    unsigned DictionaryBits;  // the window is 2^DictionaryBits bytes: 12 (-lh4-) to 16 (-lh7-, ARJ)
    unsigned PositionBits;    // the width of the count of position code lengths: 4 (-lh4-, -lh5-) or 5
};

// Decodes exactly `unpacked_size` bytes; bounded memory whatever the size, input in any chunks. Code-length
// sets that build no valid table are a data error; a distance before the start of the output reads zeros.
TDecodeResult UnLzhStatic(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size, TLzhStaticParams params);

}  // namespace kv
