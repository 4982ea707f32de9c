#pragma once

#include "engine/writers/single_file_writer.h"

namespace kv {

// Packs every file found into a BZIP2 file of its own.
class TBZip2 : public TSingleFileWriter {
public:
    TBZip2();

protected:
    bool AcceptsMethod(TCompressMethod method) const override { return method == cmBZip2; }
    TArcType WriterArcType() const override { return atBz2; }
    TChunkResult EncodeFile(TStream32& input, std::int64_t size, const std::string& name, std::uint32_t time,
                            TStream32& out, const TChunkProgress& progress) override;
};

}  // namespace kv
