#pragma once

#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// ZIP method 6 (Implode): Shannon-Fano trees over a 4 KiB or 8 KiB window (flag bit 1 set: 8 KiB), with or
// without a literal tree (flag bit 2 set: with). Decodes exactly `unpacked_size` bytes; bounded memory,
// input in any chunks.
TDecodeResult Explode(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size, bool window_8k,
                      bool literal_tree);

}  // namespace kv
