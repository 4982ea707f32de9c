#include "engine/readers/un_xz.h"

#include <lzma.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "engine/core/stream_signatures.h"

namespace kv {
namespace {

constexpr std::size_t kChunkSize = 256 * 1024;
// Enough for every preset xz has (xz -9e needs 65 MiB) and for the largest dictionaries other tools
// write; a header asking for more is refused rather than followed.
constexpr std::uint64_t kMemoryLimit = std::uint64_t{1} << 30;

// One liblzma decoder, ended however the decoding ends. XZ streams are decoded with a thread per core:
// the blocks that parallel compressors (xz -T, ours) write are independent.
class TLzmaDecoder {
public:
    explicit TLzmaDecoder(bool xz) {
        if (!xz) {
            ready_ = lzma_alone_decoder(&stream_, kMemoryLimit) == LZMA_OK;
            return;
        }
        lzma_mt options{};
        options.flags = LZMA_CONCATENATED;
        options.threads = std::max(1u, std::thread::hardware_concurrency());
        options.memlimit_threading = kMemoryLimit;
        options.memlimit_stop = kMemoryLimit;
        ready_ = lzma_stream_decoder_mt(&stream_, &options) == LZMA_OK;
    }
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
    auto in = std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize);
    auto out = std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize);
    // Detection took a file without the XZ magic for LZMA "alone" data.
    const std::size_t first = input.Read(in.get(), kChunkSize);
    TLzmaDecoder decoder(first > 0 && in[0] == kXzFirstByte);
    if (!decoder.Ready()) {
        ReportDataError();
        return false;
    }
    lzma_stream& stream = decoder.Stream();
    stream.next_in = in.get();
    stream.avail_in = first;
    lzma_action action = first == 0 ? LZMA_FINISH : LZMA_RUN;
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
