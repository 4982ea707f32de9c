#pragma once

#include <cstddef>
#include <cstdint>

#include <memory>
#include <utility>
#include <vector>

#include "engine/writers/chunk_compressor.h"
#include "engine/writers/chunk_pipeline.h"

namespace kv {

// A streaming compressor library behind one interface, so that one loop feeds them all.
class TStreamEncoder {
public:
    virtual ~TStreamEncoder() = default;
    // Compresses `size` bytes (the end of the input when `last`) and writes what comes out to `out`;
    // false when the library failed or `out` did not take it.
    virtual bool Encode(const std::uint8_t* data, std::size_t size, bool last, TStream32& out) = 0;
};

// Feeds the pieces it is given to a streaming compressor as they come (the library runs its own threads).
class TEncoderSink : public TChunkSink {
public:
    TEncoderSink(std::unique_ptr<TStreamEncoder> encoder, TStream32& out) : encoder_(std::move(encoder)), out_(out) {}
    bool Put(std::vector<std::uint8_t> chunk, bool last) override {
        return encoder_->Encode(chunk.data(), chunk.size(), last, out_);
    }

private:
    std::unique_ptr<TStreamEncoder> encoder_;
    TStream32& out_;
};

// Reads the first `size` bytes of `input` in large pieces and feeds them to `encoder`, keeping the CRC-32 of the
// input and telling `progress` of each piece. A failed encoder counts as a write error.
TChunkResult EncodeStream(TStream32& input, std::int64_t size, TStreamEncoder& encoder, TStream32& out,
                          const TChunkProgress& progress);

}  // namespace kv
