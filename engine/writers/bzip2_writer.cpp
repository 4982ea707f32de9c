#include "engine/writers/bzip2_writer.h"

#include "engine/writers/bzip2_member.h"

namespace kv {

TBZip2::TBZip2() : TSingleFileWriter(cmBZip2) { InitDefaultExt(".bz2"); }

// BZIP2 keeps neither name nor date; the output file takes the input's date.
TChunkResult TBZip2::EncodeFile(TStream32& input, std::int64_t size, const std::string&, std::uint32_t,
                                TStream32& out, const TChunkProgress& progress) {
    return WriteBzip2Streams(input, size, Bzip2BlockSizeFor(DeflateType), out, progress);
}

}  // namespace kv
