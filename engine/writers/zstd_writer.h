#pragma once

#include "engine/writers/single_file_writer.h"

namespace kv {

// Packs every file found into a Zstandard file of its own.
class TZstd : public TSingleFileWriter {
public:
    TZstd();

protected:
    bool AcceptsMethod(TCompressMethod method) const override { return method == cmZstd; }
    TArcType WriterArcType() const override { return atZstd; }
    TChunkResult EncodeFile(TStream32& input, std::int64_t size, const std::string& name, std::uint32_t time,
                            TStream32& out, const TChunkProgress& progress) override;
};

}  // namespace kv
