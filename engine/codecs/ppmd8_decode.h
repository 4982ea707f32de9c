#pragma once

#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv {

// The most model memory a PPMd entry may ask for. The ZIP header can name at most 256 MB.
inline constexpr std::uint32_t kMaxPpmdMemory = 256u << 20;

// PPMd variant I revision 1 as ZIP stores it (method 98): a 2-byte head (order less 1 in bits 0-3, model
// memory in MB less 1 in bits 4-11, how a full model is restored in bits 12-15), then the range-coded
// symbols, `unpacked_size` of them. An order below 2, an unknown restore method or more memory than
// `memory_limit` give drUnsupported.
TDecodeResult UnPpmdZip(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size,
                        std::uint32_t memory_limit = kMaxPpmdMemory);

}  // namespace kv
