#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// Raw Deflate (RFC 1951) decoding with a 32 KiB window, or Deflate64 (64 KiB window, length code 285 with
// 16 extra bits, distance codes 30 and 31). Memory stays bounded by the window and one output block,
// whatever the stream's size; the input may arrive in any chunks. When the stream ends well,
// `unread_input` (if given) receives how many of the bytes taken from the source lie behind the stream's
// end, so that a caller reading concatenated streams can go back to them.
TDecodeResult Inflate(TByteSource& source, TByteSink& sink, bool deflate64 = false,
                      std::size_t* unread_input = nullptr);

}  // namespace kv
