#include "engine/writers/tar_packing.h"

#include <memory>
#include <optional>
#include <utility>

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

std::unique_ptr<TPackingStream> NewTarPacker(TCompressMethod method, const TGzipMemberInfo& info, TDeflateType type,
                                             TStream32& out) {
    std::unique_ptr<TChunkSink> sink;
    switch (method) {
        case cmTarXz: sink = std::make_unique<TEncoderSink>(NewXzEncoder(XzPresetFor(type)), out); break;
        case cmTarZstd: sink = std::make_unique<TEncoderSink>(NewZstdEncoder(ZstdLevelFor(type), std::nullopt), out); break;
        default: sink = NewGzipMembers(info, out); break;
    }
    if (!sink) return nullptr;
    return std::make_unique<TPackingStream>(std::move(sink), kGzipMemberChunk);
}

}  // namespace kv
