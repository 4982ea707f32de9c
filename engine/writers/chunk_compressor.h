#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/core/stream32.h"

namespace kv {

// Packs one chunk of the input. `history` holds the input right before the chunk (for codecs that carry
// a window across chunks); `last` marks the final chunk, which is also the only one of an empty input.
using TChunkCodec = std::function<std::vector<std::uint8_t>(const std::uint8_t* history, std::size_t history_size,
                                                            const std::uint8_t* data, std::size_t size, bool last)>;

struct TChunking {
    std::size_t ChunkSize = 0;
    std::size_t HistorySize = 0;  // how much input before a chunk its codec sees
};

enum class TChunkOutcome { coDone, coReadError, coWriteError, coCancelled };

struct TChunkResult {
    TChunkOutcome Outcome = TChunkOutcome::coDone;
    std::uint32_t Crc = 0;  // CRC-32 of the input
    std::uint64_t Size = 0;  // input bytes packed
};

// Bytes of input done; false cancels.
using TChunkProgress = std::function<bool(std::int64_t bytes)>;

// Packs the first `size` bytes of `input` chunk by chunk on worker threads and writes the packed chunks to
// `out` in input order. The chunks in flight are bounded, so memory does not grow with the input.
TChunkResult CompressChunks(TStream32& input, std::int64_t size, const TChunking& chunking, const TChunkCodec& codec,
                            TStream32& out, const TChunkProgress& progress);

}  // namespace kv
