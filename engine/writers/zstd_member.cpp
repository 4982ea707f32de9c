#include "engine/writers/zstd_member.h"

#include <zstd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "engine/writers/stream_encoder.h"

namespace kv {
namespace {

struct TCCtxFree {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

class TZstdEncoder : public TStreamEncoder {
public:
    TZstdEncoder(int level, std::optional<std::int64_t> size) : context_(ZSTD_createCCtx()), buffer_(ZSTD_CStreamOutSize()) {
        const int workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        ready_ = context_ && !ZSTD_isError(ZSTD_CCtx_setParameter(context_.get(), ZSTD_c_compressionLevel, level)) &&
                 !ZSTD_isError(ZSTD_CCtx_setParameter(context_.get(), ZSTD_c_checksumFlag, 1)) &&
                 (!size || !ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(context_.get(), static_cast<unsigned long long>(*size))));
        // A library built without threads refuses workers; it then compresses on this thread.
        if (ready_) ZSTD_CCtx_setParameter(context_.get(), ZSTD_c_nbWorkers, workers);
    }

    bool Encode(const std::uint8_t* data, std::size_t size, bool last, TStream32& out) override {
        if (!ready_) return false;
        ZSTD_inBuffer in{data, size, 0};
        const ZSTD_EndDirective directive = last ? ZSTD_e_end : ZSTD_e_continue;
        for (;;) {
            ZSTD_outBuffer packed{buffer_.data(), buffer_.size(), 0};
            const std::size_t left = ZSTD_compressStream2(context_.get(), &packed, &in, directive);
            if (ZSTD_isError(left)) return false;
            const auto produced = static_cast<std::int64_t>(packed.pos);
            if (produced > 0 && out.WriteFull(buffer_.data(), produced) != produced) return false;
            if (last ? left == 0 : in.pos == in.size) return true;
        }
    }

private:
    std::unique_ptr<ZSTD_CCtx, TCCtxFree> context_;
    std::vector<std::uint8_t> buffer_;
    bool ready_ = false;
};

}  // namespace

int ZstdLevelFor(TDeflateType type) {
    switch (type) {
        case dtDeflateS:
        case dtDeflateF: return 1;
        case dtDeflateX: return 19;
        default: return 3;
    }
}

std::unique_ptr<TStreamEncoder> NewZstdEncoder(int level, std::optional<std::int64_t> size) {
    return std::make_unique<TZstdEncoder>(level, size);
}

TChunkResult WriteZstdFrame(TStream32& input, std::int64_t size, int level, TStream32& out,
                            const TChunkProgress& progress) {
    TZstdEncoder encoder(level, size);
    return EncodeStream(input, size, encoder, out, progress);
}

}  // namespace kv
