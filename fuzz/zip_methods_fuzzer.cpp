// Decodes arbitrary bytes with the ZIP methods of newer writers. The first byte picks the method (LZMA,
// XZ, Zstandard, PPMd) and how the input is chunked; the next two give the declared size. Output beyond
// the declared size of LZMA or PPMd, or a PPMd success that falls short of it, is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/codecs/lzma_decode.h"
#include "engine/codecs/memory_byte_io.h"
#include "engine/codecs/ppmd8_decode.h"
#include "engine/codecs/zstd_decode.h"
#include "fuzz/codec_input.h"

namespace {

// Models of up to 16 MB keep each run quick; larger ones are refused like those beyond the real limit.
constexpr std::uint32_t kFuzzPpmdMemory = 16u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const unsigned method = data[0] & 3;
    const std::size_t chunk = kv::fuzz::ChunkSize(data[0]);
    const std::uint64_t declared = (std::uint64_t{data[1]} | std::uint64_t{data[2]} << 8) * 16;
    kv::TMemorySource source(std::span<const std::uint8_t>(data + 3, size - 3), chunk);
    kv::fuzz::TCountingSink sink;
    switch (method) {
        case 0:
            kv::UnLzmaZip(source, sink, declared);
            if (sink.written > declared) std::abort();
            break;
        case 1: kv::UnXz(source, sink); break;
        case 2: kv::UnZstd(source, sink); break;
        default: {
            const kv::TDecodeResult result = kv::UnPpmdZip(source, sink, declared, kFuzzPpmdMemory);
            if (sink.written > declared) std::abort();
            if (result == kv::TDecodeResult::drOk && sink.written != declared) std::abort();
            break;
        }
    }
    return 0;
}
