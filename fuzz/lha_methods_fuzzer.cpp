// Decodes arbitrary bytes with the LZH family's methods. The first byte picks the method (-lh4- to -lh7-,
// ARJ's setting of the static-Huffman decoder, -lh1-, -lz5-, -lzs-) and how the input is chunked; the next
// two give the declared size. Output beyond the declared size, or a success that falls short of it, is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/codecs/larc_lzss.h"
#include "engine/codecs/lzh_dynamic.h"
#include "engine/codecs/lzh_static.h"
#include "engine/codecs/memory_byte_io.h"
#include "fuzz/codec_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    constexpr kv::TLzhStaticParams kStatic[] = {{12, 4}, {13, 4}, {15, 5}, {16, 5}};
    const unsigned variant = (data[0] & 0x0F) % 7;
    const std::size_t chunk = kv::fuzz::ChunkSize(data[0]);
    const std::uint64_t declared = (std::uint64_t{data[1]} | std::uint64_t{data[2]} << 8) * 16;
    kv::TMemorySource source(std::span<const std::uint8_t>(data + 3, size - 3), chunk);
    kv::fuzz::TCountingSink sink;
    kv::TDecodeResult result;
    if (variant < 4) result = kv::UnLzhStatic(source, sink, declared, kStatic[variant]);
    else if (variant == 4) result = kv::UnLzhDynamic(source, sink, declared);
    else if (variant == 5) result = kv::UnLarcLz5(source, sink, declared);
    else result = kv::UnLarcLzs(source, sink, declared);
    if (sink.written > declared) std::abort();
    if (result == kv::TDecodeResult::drOk && sink.written != declared) std::abort();
    return 0;
}
