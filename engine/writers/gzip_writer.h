#pragma once

#include "engine/writers/single_file_writer.h"

namespace kv {

// Packs every file found into a GZIP file of its own.
class TGZip : public TSingleFileWriter {
public:
    TGZip();

protected:
    bool AcceptsMethod(TCompressMethod method) const override { return method == cmDeflate; }
    TArcType WriterArcType() const override { return atGZip; }
    TChunkResult EncodeFile(TStream32& input, std::int64_t size, const std::string& name, std::uint32_t time,
                            TStream32& out, const TChunkProgress& progress) override;
};

}  // namespace kv
