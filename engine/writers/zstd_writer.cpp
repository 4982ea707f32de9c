#include "engine/writers/zstd_writer.h"

#include "engine/writers/zstd_member.h"

namespace kv {

TZstd::TZstd() : TSingleFileWriter(cmZstd) { InitDefaultExt(".zst"); }

// Zstandard keeps neither name nor date; the output file takes the input's date.
TChunkResult TZstd::EncodeFile(TStream32& input, std::int64_t size, const std::string&, std::uint32_t,
                               TStream32& out, const TChunkProgress& progress) {
    return WriteZstdFrame(input, size, ZstdLevelFor(DeflateType), out, progress);
}

}  // namespace kv
