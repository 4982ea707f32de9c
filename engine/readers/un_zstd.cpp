#include "engine/readers/un_zstd.h"

#include <zstd.h>

#include <memory>

namespace kv {
namespace {

// zstd's own input and output sizes keep the decoder from copying through internal buffers.
const std::size_t kInSize = ZSTD_DStreamInSize();
const std::size_t kOutSize = ZSTD_DStreamOutSize();
// Windows up to 1 GiB, beyond what `zstd --long` writes by default (128 MiB) and what its decoder takes
// without asking (`--memory`); a frame asking for more is refused rather than followed.
constexpr int kWindowLogMax = 30;

struct TDCtxFree {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

}  // namespace

TUnSingleFile::TMemberStart TUnZstd::ReadStart(TMemberInput&) { return {}; }

bool TUnZstd::DecodeMember(TMemberInput& input, TByteSink& sink) {
    const std::unique_ptr<ZSTD_DCtx, TDCtxFree> context(ZSTD_createDCtx());
    if (!context || ZSTD_isError(ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, kWindowLogMax))) {
        ReportDataError();
        return false;
    }
    auto in = std::make_unique_for_overwrite<std::uint8_t[]>(kInSize);
    auto out = std::make_unique_for_overwrite<std::uint8_t[]>(kOutSize);
    // What the decoder still wants to end the frame it is in: 0 between frames.
    std::size_t pending = 0;
    bool any = false;
    while (!GetCancel()) {
        ZSTD_inBuffer packed{in.get(), input.Read(in.get(), kInSize), 0};
        if (packed.size == 0) break;
        any = true;
        bool output_full = false;
        // A full output buffer may hide more output: the decoder is asked again until it has room left.
        while (packed.pos < packed.size || output_full) {
            ZSTD_outBuffer decoded{out.get(), kOutSize, 0};
            pending = ZSTD_decompressStream(context.get(), &decoded, &packed);
            if (ZSTD_isError(pending)) {
                ReportDataError();
                return false;
            }
            if (decoded.pos > 0 && !sink.Write(out.get(), decoded.pos)) return false;
            output_full = decoded.pos == decoded.size;
        }
    }
    if (GetCancel()) return false;
    // The input ending inside a frame, or holding none at all, is as corrupt as a bad block.
    if (pending != 0 || !any) {
        ReportDataError();
        return false;
    }
    return true;
}

}  // namespace kv
