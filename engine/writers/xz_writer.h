#pragma once

#include "engine/writers/single_file_writer.h"

namespace kv {

// Packs every file found into an XZ file of its own.
class TXz : public TSingleFileWriter {
public:
    TXz();

protected:
    bool AcceptsMethod(TCompressMethod method) const override { return method == cmXz; }
    TArcType WriterArcType() const override { return atXz; }
    TChunkResult EncodeFile(TStream32& input, std::int64_t size, const std::string& name, std::uint32_t time,
                            TStream32& out, const TChunkProgress& progress) override;
};

}  // namespace kv
