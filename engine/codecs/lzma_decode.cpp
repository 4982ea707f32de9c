#include "engine/codecs/lzma_decode.h"

#include <lzma.h>

#include <algorithm>
#include <array>
#include <vector>

#include "engine/codecs/codec_limits.h"

namespace kv {
namespace {

constexpr std::size_t kInputStep = 64 * 1024;
constexpr std::size_t kOutputStep = 256 * 1024;
constexpr std::size_t kZipHeadSize = 4;
constexpr std::size_t kPropertiesSize = 5;
constexpr unsigned kMaxPropertiesByte = 9 * 5 * 5;

// A decoder and its buffers, made once per thread and set up again for each entry: liblzma keeps a
// dictionary of the same size, and making them anew costs more than a small entry's data.
class TLzmaStream {
public:
    ~TLzmaStream() { lzma_end(&stream_); }
    // Frees the decoder when it holds more than is worth keeping.
    void Trim() {
        if (lzma_memusage(&stream_) > kMaxKeptDecoderMemory) {
            lzma_end(&stream_);
            stream_ = LZMA_STREAM_INIT;
        }
    }
    lzma_stream* operator->() { return &stream_; }
    lzma_stream* get() { return &stream_; }
    std::vector<std::uint8_t> input = std::vector<std::uint8_t>(kInputStep);
    std::vector<std::uint8_t> output = std::vector<std::uint8_t>(kOutputStep);

private:
    lzma_stream stream_ = LZMA_STREAM_INIT;
};

TDecodeResult FromSetup(lzma_ret ret) {
    if (ret == LZMA_OK) return TDecodeResult::drOk;
    return ret == LZMA_MEM_ERROR || ret == LZMA_MEMLIMIT_ERROR || ret == LZMA_OPTIONS_ERROR
               ? TDecodeResult::drUnsupported
               : TDecodeResult::drDataError;
}

// Feeds the source through a decoder set up on `stream` until the decoder says the data ended.
TDecodeResult Pump(TLzmaStream& stream, TByteSource& source, TByteSink& sink) {
    std::vector<std::uint8_t>& input = stream.input;
    std::vector<std::uint8_t>& output = stream.output;
    stream->avail_in = 0;
    bool input_ended = false;
    stream->next_out = output.data();
    stream->avail_out = output.size();
    for (;;) {
        if (stream->avail_in == 0 && !input_ended) {
            const std::size_t got = source.Read(input.data(), input.size());
            input_ended = got == 0;
            stream->next_in = input.data();
            stream->avail_in = got;
        }
        const lzma_ret ret = lzma_code(stream.get(), input_ended ? LZMA_FINISH : LZMA_RUN);
        const std::size_t produced = output.size() - stream->avail_out;
        if (produced > 0 && (stream->avail_out == 0 || ret != LZMA_OK)) {
            if (!sink.Write(output.data(), produced)) return TDecodeResult::drStopped;
            stream->next_out = output.data();
            stream->avail_out = output.size();
        }
        switch (ret) {
            case LZMA_OK: break;
            case LZMA_STREAM_END: return TDecodeResult::drOk;
            // No progress with the input at its end: the data stopped before the stream did.
            case LZMA_BUF_ERROR: return TDecodeResult::drTruncated;
            case LZMA_MEM_ERROR:
            case LZMA_MEMLIMIT_ERROR:
            case LZMA_OPTIONS_ERROR: return TDecodeResult::drUnsupported;
            default: return TDecodeResult::drDataError;
        }
    }
}

bool ReadFully(TByteSource& source, std::uint8_t* buffer, std::size_t size) {
    for (std::size_t got = 0; got < size;) {
        const std::size_t read = source.Read(buffer + got, size - got);
        if (read == 0) return false;
        got += read;
    }
    return true;
}

}  // namespace

TDecodeResult UnLzmaZip(TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size) {
    std::array<std::uint8_t, kZipHeadSize + kPropertiesSize> head{};
    if (!ReadFully(source, head.data(), head.size())) return TDecodeResult::drTruncated;
    const unsigned properties_size = head[2] | (head[3] << 8);
    const std::uint8_t* properties = head.data() + kZipHeadSize;
    if (properties_size != kPropertiesSize || properties[0] >= kMaxPropertiesByte) return TDecodeResult::drDataError;
    // Nothing to decode: writers differ in what, if anything, they put after the head.
    if (unpacked_size == 0) return TDecodeResult::drOk;

    lzma_options_lzma options{};
    unsigned model = properties[0];
    options.lc = model % 9;
    model /= 9;
    options.lp = model % 5;
    options.pb = model / 5;
    const std::uint64_t dictionary = std::uint64_t{properties[1]} | std::uint64_t{properties[2]} << 8 |
                                     std::uint64_t{properties[3]} << 16 | std::uint64_t{properties[4]} << 24;
    // Matches never reach further back than the entry is long, so a smaller entry needs no more than itself.
    const std::uint64_t needed = std::max<std::uint64_t>(std::min(dictionary, unpacked_size), LZMA_DICT_SIZE_MIN);
    if (needed > kMaxDecoderMemory) return TDecodeResult::drUnsupported;
    options.dict_size = static_cast<std::uint32_t>(needed);
    // The data end at the entry's size, or earlier at an end marker (flag bit 1 says that one is written).
    options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    options.ext_size_low = static_cast<std::uint32_t>(unpacked_size);
    options.ext_size_high = static_cast<std::uint32_t>(unpacked_size >> 32);
    const std::array<lzma_filter, 2> filters = {{{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}}};

    thread_local TLzmaStream stream;
    if (const TDecodeResult setup = FromSetup(lzma_raw_decoder(stream.get(), filters.data()));
        setup != TDecodeResult::drOk)
        return setup;
    const TDecodeResult result = Pump(stream, source, sink);
    stream.Trim();
    return result;
}

TDecodeResult UnXz(TByteSource& source, TByteSink& sink) {
    thread_local TLzmaStream stream;
    if (const TDecodeResult setup = FromSetup(lzma_stream_decoder(stream.get(), kMaxDecoderMemory, 0));
        setup != TDecodeResult::drOk)
        return setup;
    const TDecodeResult result = Pump(stream, source, sink);
    stream.Trim();
    return result;
}

}  // namespace kv
