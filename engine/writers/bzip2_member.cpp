#include "engine/writers/bzip2_member.h"

#include <bzlib.h>

#include <stdexcept>
#include <vector>

namespace kv {

int Bzip2BlockSizeFor(TDeflateType type) {
    switch (type) {
        case dtDeflateF: return 2;
        case dtDeflateN: return 6;
        default: return 9;
    }
}

TChunkResult WriteBzip2Streams(TStream32& input, std::int64_t size, int block_size, TStream32& out,
                               const TChunkProgress& progress) {
    const TChunkCodec codec = [block_size](const std::uint8_t*, std::size_t, const std::uint8_t* data, std::size_t data_size,
                                           bool) {
        // The documented bound of the packed size: 1% more than the input, plus 600 bytes.
        std::vector<std::uint8_t> packed(data_size + data_size / 100 + 600);
        auto packed_size = static_cast<unsigned>(packed.size());
        // libbz2 refuses a null input even when it is empty.
        char none = 0;
        char* input = data_size == 0 ? &none : const_cast<char*>(reinterpret_cast<const char*>(data));
        const int rc = BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(packed.data()), &packed_size, input,
                                                static_cast<unsigned>(data_size), block_size, 0, 0);
        if (rc != BZ_OK) throw std::runtime_error("bzip2 compression failed");
        packed.resize(packed_size);
        return packed;
    };
    const auto chunk = static_cast<std::size_t>(block_size) * 100000;
    return CompressChunks(input, size, {chunk, 0}, codec, out, progress);
}

}  // namespace kv
