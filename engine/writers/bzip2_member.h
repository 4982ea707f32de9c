#pragma once

#include "engine/core/entry_enums.h"
#include "engine/writers/chunk_compressor.h"

namespace kv {

// The BZIP2 block size (x 100 000 bytes) a DeflateType asks for.
int Bzip2BlockSizeFor(TDeflateType type);

// Writes `size` bytes of `input` as BZIP2 data: parallel chunks of one block each, every chunk a complete
// stream; bzip2 readers take the concatenated streams as one file.
TChunkResult WriteBzip2Streams(TStream32& input, std::int64_t size, int block_size, TStream32& out,
                               const TChunkProgress& progress);

}  // namespace kv
