#pragma once

#include <cstdint>

#include "engine/core/entry_enums.h"
#include "engine/writers/chunk_compressor.h"

namespace kv {

// The xz preset (0 to 9) a DeflateType asks for.
std::uint32_t XzPresetFor(TDeflateType type);

// Writes `size` bytes of `input` as one XZ stream with a CRC-64 check, compressed by liblzma's
// multithreaded encoder (independent blocks, one thread per core).
TChunkResult WriteXzStream(TStream32& input, std::int64_t size, std::uint32_t preset, TStream32& out,
                           const TChunkProgress& progress);

}  // namespace kv
