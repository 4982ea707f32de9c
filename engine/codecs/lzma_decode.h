#pragma once

#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// LZMA as ZIP stores it (method 14): a 4-byte head (LZMA SDK version, properties size), the 5 properties
// bytes, then raw LZMA data that ends at `unpacked_size` bytes or at an end marker. A dictionary larger
// than kMaxDecoderMemory gives drUnsupported.
TDecodeResult UnLzmaZip(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size);

// One .xz stream (method 95), with its integrity checks; memory bounded by kMaxDecoderMemory.
TDecodeResult UnXz(TByteSource& source, TByteSink& sink);

}  // namespace kv
