#pragma once

#include "engine/codecs/codec_io.h"

namespace kv {

// ZOO's LZW (method 1): codes taken least significant bit first, 9 bits wide and growing by one each time
// the table fills its width, up to 13 bits; code 256 clears the table (back to 9 bits) and code 257 ends the
// data. A code above the next free one is a data error; input that ends before code 257 is truncated.
TDecodeResult UnZooLzw(TByteSource& source, TByteSink& sink);

}  // namespace kv
