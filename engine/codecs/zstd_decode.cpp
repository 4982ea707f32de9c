#include "engine/codecs/zstd_decode.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <memory>
#include <vector>

#include "engine/codecs/codec_limits.h"

namespace kv {
namespace {

// The largest window accepted: 2^30 bytes, which is kMaxDecoderMemory.
constexpr int kMaxWindowLog = 30;
static_assert((std::uint64_t{1} << kMaxWindowLog) == kMaxDecoderMemory);

struct TFreeContext {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

// A decoder and its buffers, made once per thread and reset for each entry: making them costs more than
// a small entry's data.
struct TZstdDecoder {
    std::unique_ptr<ZSTD_DCtx, TFreeContext> context{ZSTD_createDCtx()};
    std::vector<std::uint8_t> input = std::vector<std::uint8_t>(ZSTD_DStreamInSize());
    std::vector<std::uint8_t> output = std::vector<std::uint8_t>(ZSTD_DStreamOutSize());
};

}  // namespace

TDecodeResult UnZstd(TByteSource& source, TByteSink& sink) {
    thread_local TZstdDecoder decoder;
    ZSTD_DCtx* const context = decoder.context.get();
    if (context == nullptr || ZSTD_isError(ZSTD_DCtx_reset(context, ZSTD_reset_session_and_parameters)) ||
        ZSTD_isError(ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, kMaxWindowLog)))
        return TDecodeResult::drUnsupported;
    // A large window is not kept for the next entry, however this one ends.
    struct TTrim {
        TZstdDecoder& decoder;
        ~TTrim() {
            if (ZSTD_sizeof_DCtx(decoder.context.get()) > kMaxKeptDecoderMemory)
                decoder.context.reset(ZSTD_createDCtx());
        }
    } trim{decoder};
    std::vector<std::uint8_t>& input = decoder.input;
    std::vector<std::uint8_t>& output = decoder.output;
    // Set once a frame has ended and nothing of another has been read since.
    bool frame_ended = false;
    for (std::size_t got; (got = source.Read(input.data(), input.size())) > 0;) {
        ZSTD_inBuffer in{input.data(), got, 0};
        ZSTD_outBuffer out{output.data(), output.size(), 0};
        // A full output buffer may leave decoded bytes in the decoder after the input is all taken.
        while (in.pos < in.size || out.pos == out.size) {
            out.pos = 0;
            const std::size_t taken = in.pos;
            const std::size_t ret = ZSTD_decompressStream(context, &out, &in);
            if (ZSTD_isError(ret))
                return ZSTD_getErrorCode(ret) == ZSTD_error_frameParameter_windowTooLarge
                           ? TDecodeResult::drUnsupported
                           : TDecodeResult::drDataError;
            if (out.pos > 0 && !sink.Write(output.data(), out.pos)) return TDecodeResult::drStopped;
            if (in.pos != taken || out.pos > 0) frame_ended = ret == 0;
        }
    }
    return frame_ended ? TDecodeResult::drOk : TDecodeResult::drTruncated;
}

}  // namespace kv
