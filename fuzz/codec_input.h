#pragma once

// What the codec fuzzers share: a sink that only counts, and how the first byte chunks the input.
#include <cstddef>
#include <cstdint>

#include "engine/codecs/codec_io.h"

namespace kv::fuzz {

class TCountingSink : public TByteSink {
public:
    bool Write(const std::uint8_t*, std::size_t size) override {
        written += size;
        return true;
    }
    std::uint64_t written = 0;
};

// The size of the pieces the input arrives in, chosen by bits 4 and 5 of `selector`: a decoder must give the
// same result whether its input comes byte by byte or all at once.
inline std::size_t ChunkSize(std::uint8_t selector) {
    constexpr std::size_t kChunks[] = {1, 7, 4096, SIZE_MAX};
    return kChunks[(selector >> 4) & 3];
}

}  // namespace kv::fuzz
