#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "engine/core/entry_enums.h"
#include "engine/writers/chunk_compressor.h"
#include "engine/writers/stream_encoder.h"

namespace kv {

// The zstd level a DeflateType asks for.
int ZstdLevelFor(TDeflateType type);

// libzstd's encoder of one frame with a checksum, on worker threads (one per core); the frame holds the
// content size when it is known beforehand.
std::unique_ptr<TStreamEncoder> NewZstdEncoder(int level, std::optional<std::int64_t> size);

// Writes `size` bytes of `input` as one Zstandard frame holding its content size and checksum,
// compressed by libzstd's worker threads (one per core).
TChunkResult WriteZstdFrame(TStream32& input, std::int64_t size, int level, TStream32& out,
                            const TChunkProgress& progress);

}  // namespace kv
