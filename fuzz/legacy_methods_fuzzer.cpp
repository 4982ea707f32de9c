// Decodes arbitrary bytes with the old PKZIP methods. The first byte picks the method and its variant
// (Shrink, Reduce 1 to 4, Implode with either window and with or without a literal tree) and how the input
// is chunked; the next two give the declared size. Output beyond the declared size, or a success that falls
// short of it, is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/codecs/explode.h"
#include "engine/codecs/memory_byte_io.h"
#include "engine/codecs/unreduce.h"
#include "engine/codecs/unshrink.h"
#include "fuzz/codec_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const unsigned variant = (data[0] & 0x0F) % 9;
    const std::size_t chunk = kv::fuzz::ChunkSize(data[0]);
    const std::uint64_t declared = (std::uint64_t{data[1]} | std::uint64_t{data[2]} << 8) * 16;
    kv::TMemorySource source(std::span<const std::uint8_t>(data + 3, size - 3), chunk);
    kv::fuzz::TCountingSink sink;
    kv::TDecodeResult result;
    if (variant == 0) {
        result = kv::Unshrink(source, sink, declared);
    } else if (variant <= 4) {
        result = kv::Unreduce(source, sink, declared, static_cast<int>(variant));
    } else {
        const unsigned flags = variant - 5;
        result = kv::Explode(source, sink, declared, (flags & 1) != 0, (flags & 2) != 0);
    }
    if (sink.written > declared) std::abort();
    if (result == kv::TDecodeResult::drOk && sink.written != declared) std::abort();
    return 0;
}
