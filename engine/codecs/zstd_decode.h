#pragma once

#include "engine/codecs/codec_io.h"

namespace kv {

// Zstandard frames (methods 93 and 20), one after another until the packed data ends; a window larger
// than kMaxDecoderMemory gives drUnsupported.
TDecodeResult UnZstd(TByteSource& source, TByteSink& sink);

}  // namespace kv
