#include "engine/readers/un_xz.h"

#include <lzma.h>

#include <memory>

namespace kv {
namespace {

constexpr std::size_t kChunkSize = 256 * 1024;
// Enough for every preset xz has (xz -9e needs 65 MiB) and for the largest dictionaries other tools
// write; a header asking for more is refused rather than followed.
constexpr std::uint64_t kMemoryLimit = std::uint64_t{1} << 30;

// One liblzma decoder, ended however the decoding ends.
class TLzmaDecoder {
public:
    TLzmaDecoder() { ready_ = lzma_auto_decoder(&stream_, kMemoryLimit, LZMA_CONCATENATED) == LZMA_OK; }
    ~TLzmaDecoder() { lzma_end(&stream_); }
    TLzmaDecoder(const TLzmaDecoder&) = delete;
    TLzmaDecoder& operator=(const TLzmaDecoder&) = delete;
    bool Ready() const { return ready_; }
    lzma_stream& Stream() { return stream_; }

private:
    lzma_stream stream_ = LZMA_STREAM_INIT;
    bool ready_ = false;
};

}  // namespace

TUnSingleFile::TMemberStart TUnXz::ReadStart(TMemberInput&) { return {}; }

bool TUnXz::DecodeMember(TMemberInput& input, TByteSink& sink) {
    TLzmaDecoder decoder;
    if (!decoder.Ready()) {
        ReportDataError();
        return false;
    }
    auto in = std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize);
    auto out = std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize);
    lzma_stream& stream = decoder.Stream();
    lzma_action action = LZMA_RUN;
    while (!GetCancel()) {
        if (stream.avail_in == 0 && action == LZMA_RUN) {
            stream.next_in = in.get();
            stream.avail_in = input.Read(in.get(), kChunkSize);
            // The decoder learns of the end of the input, so that a cut stream is an error, not a pause.
            if (stream.avail_in == 0) action = LZMA_FINISH;
        }
        stream.next_out = out.get();
        stream.avail_out = kChunkSize;
        const lzma_ret rc = lzma_code(&stream, action);
        const std::size_t produced = kChunkSize - stream.avail_out;
        if (produced > 0 && !sink.Write(out.get(), produced)) return false;
        if (rc == LZMA_STREAM_END) return true;
        // liblzma checks each block's check value and the index: a mismatch, a cut stream or a header
        // asking for more memory than the limit is a data error here.
        if (rc != LZMA_OK) {
            ReportDataError();
            return false;
        }
    }
    return false;
}

}  // namespace kv
