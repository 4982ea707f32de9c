#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/writers/comp_base.h"
#include "engine/writers/packing_stream.h"

namespace kv {

// The TAR writer (cmTarred), and with cmTarGzip, cmTarXz or cmTarZstd the writer of a TAR packed whole by
// that compressor: the TAR then goes through the compressor into the temporary archive as it is written,
// its kept members copied from the old archive's unpacked contents.
// Kept members are copied as raw bytes with their extension headers; new and renamed ones get pax
// extended headers where a field does not fit.
class TTar : public TCompBase {
public:
    TTar();

    std::uint32_t UnixUID = 2;
    std::uint32_t UnixGID = 2;
    std::string UnixUName = "root";
    std::string UnixGName = "root";

protected:
    bool AcceptsMethod(TCompressMethod method) const override;
    TArcType WriterArcType() const override;
    bool ReadArchive(TStream32& archive, TCompressHeaderObj& headers) override;
    bool BeginArchive(TStream32& out, TStream32* old_archive, const TCompressHeaderObj& headers) override;
    TItemOutcome CompressItem(std::size_t index, const TCompressHeader& item) override;
    bool CopyItem(const TCompressHeader& item) override;
    bool FinishArchive() override;
    void EndRun() override;
    std::unique_ptr<THandleStream32> OpenArchiveForReading(const std::string& name) override;

private:
    // Where an old member lies and what a new header for it needs.
    struct TOldMember {
        std::int64_t StartAt = 0;
        std::int64_t HeaderAt = 0;
        std::int64_t DataAt = 0;
        std::int64_t EndAt = 0;
        std::int64_t Size = 0;
        std::string LinkName;
        std::optional<std::int64_t> ModificationTime;
    };
    bool Copy(std::int64_t from, std::int64_t count);
    bool Write(const void* bytes, std::int64_t count);
    bool PadToBlock();
    TItemOutcome CopyFile(const TCompressHeader& item, TStream32& source, std::int64_t size);
    bool FillWithZeros(std::int64_t end);

    std::vector<TOldMember> old_members_;
    std::unique_ptr<TPackingStream> packer_;
    TStream32* out_ = nullptr;
    TStream32* old_stream_ = nullptr;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace kv
