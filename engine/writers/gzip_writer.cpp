#include "engine/writers/gzip_writer.h"

#include "engine/writers/gzip_member.h"

namespace kv {

TGZip::TGZip() : TSingleFileWriter(cmDeflate) { InitDefaultExt(".gz"); }

TChunkResult TGZip::EncodeFile(TStream32& input, std::int64_t size, const std::string& name, std::uint32_t time,
                               TStream32& out, const TChunkProgress& progress) {
    return WriteGzipMember(input, size, {name, time, DeflateLevelFor(DeflateType)}, out, progress);
}

}  // namespace kv
