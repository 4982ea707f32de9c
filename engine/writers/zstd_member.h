#pragma once

#include <cstdint>

#include "engine/core/entry_enums.h"
#include "engine/writers/chunk_compressor.h"

namespace kv {

// The zstd level a DeflateType asks for.
int ZstdLevelFor(TDeflateType type);

// Writes `size` bytes of `input` as one Zstandard frame holding its content size and checksum,
// compressed by libzstd's worker threads (one per core).
TChunkResult WriteZstdFrame(TStream32& input, std::int64_t size, int level, TStream32& out,
                            const TChunkProgress& progress);

}  // namespace kv
