#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/entry_enums.h"
#include "engine/writers/chunk_compressor.h"
#include "engine/writers/stream_encoder.h"

namespace kv {

// The xz preset (0 to 9) a DeflateType asks for.
std::uint32_t XzPresetFor(TDeflateType type);

// liblzma's multithreaded encoder of one XZ stream with a CRC-64 check (independent blocks, one thread per
// core).
std::unique_ptr<TStreamEncoder> NewXzEncoder(std::uint32_t preset);

// Writes `size` bytes of `input` as one XZ stream with a CRC-64 check, compressed by liblzma's
// multithreaded encoder (independent blocks, one thread per core).
TChunkResult WriteXzStream(TStream32& input, std::int64_t size, std::uint32_t preset, TStream32& out,
                           const TChunkProgress& progress);

}  // namespace kv
