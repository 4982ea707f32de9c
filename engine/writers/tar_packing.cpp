#include "engine/writers/tar_packing.h"

#include <memory>

#include "engine/core/packed_tar_types.h"
#include "engine/readers/format_readers.h"
#include "engine/readers/un_single_file.h"
#include "engine/writers/gunzip_stream.h"
#include "engine/writers/xz_member.h"
#include "engine/writers/zstd_member.h"

namespace kv {
namespace {

class TStreamSink : public TByteSink {
public:
    explicit TStreamSink(TStream32& out) : out_(out) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
        return out_.WriteFull(data, static_cast<std::int64_t>(size)) == static_cast<std::int64_t>(size);
    }

private:
    TStream32& out_;
};

}  // namespace

bool UnpackTar(TCompressMethod method, TStream32& packed, TStream32& tar) {
    if (method == cmTarGzip) return GunzipStream(packed, tar);
    // The file type's own reader decodes it, with every check it makes when extracting.
    std::unique_ptr<TUnBase> reader = CreateReader(PackedFileTypeOf(TarTypeFor(method)));
    auto* decoder = dynamic_cast<TUnSingleFile*>(reader.get());
    TStreamSink sink(tar);
    return decoder != nullptr && decoder->DecodeInto(packed, sink);
}

TChunkResult PackTar(TCompressMethod method, TStream32& tar, std::int64_t size, const TGzipMemberInfo& info,
                     TDeflateType type, TStream32& out, const TChunkProgress& progress) {
    switch (method) {
        case cmTarXz: return WriteXzStream(tar, size, XzPresetFor(type), out, progress);
        case cmTarZstd: return WriteZstdFrame(tar, size, ZstdLevelFor(type), out, progress);
        default: return WriteGzipMembers(tar, size, info, out, progress);
    }
}

}  // namespace kv
