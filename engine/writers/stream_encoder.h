#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/writers/chunk_compressor.h"

namespace kv {

// A streaming compressor library behind one interface, so that one loop feeds them all.
class TStreamEncoder {
public:
    virtual ~TStreamEncoder() = default;
    // Compresses `size` bytes (the end of the input when `last`) and writes what comes out to `out`;
    // false when the library failed or `out` did not take it.
    virtual bool Encode(const std::uint8_t* data, std::size_t size, bool last, TStream32& out) = 0;
};

// Reads the first `size` bytes of `input` in large pieces and feeds them to `encoder`, keeping the CRC-32 of the
// input and telling `progress` of each piece. A failed encoder counts as a write error.
TChunkResult EncodeStream(TStream32& input, std::int64_t size, TStreamEncoder& encoder, TStream32& out,
                          const TChunkProgress& progress);

}  // namespace kv
