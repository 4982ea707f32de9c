#include "engine/writers/xz_writer.h"

#include "engine/writers/xz_member.h"

namespace kv {

TXz::TXz() : TSingleFileWriter(cmXz) { InitDefaultExt(".xz"); }

// XZ keeps neither name nor date; the output file takes the input's date.
TChunkResult TXz::EncodeFile(TStream32& input, std::int64_t size, const std::string&, std::uint32_t, TStream32& out,
                             const TChunkProgress& progress) {
    return WriteXzStream(input, size, XzPresetFor(DeflateType), out, progress);
}

}  // namespace kv
