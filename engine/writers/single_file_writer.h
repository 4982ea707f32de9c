#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/writers/chunk_compressor.h"
#include "engine/writers/comp_base.h"

namespace kv {

// How the name of a packed file is made from its input's name.
enum TGZipExt {
    exAppendGZ,    // readme.txt -> readme.txt + DefaultExt
    exUnderScore,  // readme.txt -> readme.tx_
    exNone,        // the name as it is (DefaultExt only when it would be the input's own name)
};

// The writers that pack every file found into a file of its own (GZIP, BZIP2). They have a loop of their
// own instead of the archive run: there is no archive to merge with. Each output is built in a temporary
// file and put in place only when complete, so a failure never leaves a partial file behind.
class TSingleFileWriter : public TCompBase {
public:
    TGZipExt Extension = exAppendGZ;

    // Packs the files of FileSpec; returns the number of files written.
    int Compress() override;

protected:
    explicit TSingleFileWriter(TCompressMethod method);

    // Packs `size` bytes of `input` into `out`. `name` (without folders) and `time` (Unix seconds) are the
    // input's.
    virtual TChunkResult EncodeFile(TStream32& input, std::int64_t size, const std::string& name, std::uint32_t time,
                                    TStream32& out, const TChunkProgress& progress) = 0;

private:
    // The archive run's format hooks; this loop never calls them.
    bool ReadArchive(TStream32&, TCompressHeaderObj&) override { return false; }
    bool BeginArchive(TStream32&, TStream32*, const TCompressHeaderObj&) override { return false; }
    TItemOutcome CompressItem(std::size_t, const TCompressHeader&) override { return TItemOutcome::ioArchiveFailed; }
    bool CopyItem(const TCompressHeader&) override { return false; }
    bool FinishArchive() override { return false; }
    void EndRun() override {}

    enum class TFileOutcome { foWritten, foSkipped, foFailed, foStop };
    void Run();
    std::vector<std::string> FindFiles(const std::vector<std::string>& lines);
    std::string OutputNameFor(const std::string& input, const std::string& output_dir) const;
    // Asks about an output that exists already.
    TFileOutcome ConfirmOverwrite(const std::string& output, const std::string& input);
    TFileOutcome PackFile(const std::string& input, const std::string& output);
};

}  // namespace kv
