#include "engine/writers/xz_member.h"

#include <lzma.h>

#include <thread>
#include <vector>

#include "engine/writers/stream_encoder.h"

namespace kv {
namespace {

constexpr std::size_t kOutSize = 1024 * 1024;
// Each thread holds its block's input and a whole encoder (preset 9: a 64 MiB dictionary in 192 MiB
// blocks): past this the encoder runs with fewer threads rather than take memory from everything else.
constexpr std::uint64_t kMemoryBudget = std::uint64_t{1} << 30;

class TXzEncoder : public TStreamEncoder {
public:
    explicit TXzEncoder(std::uint32_t preset) : buffer_(kOutSize) {
        lzma_mt options{};
        options.threads = std::max(1u, std::thread::hardware_concurrency());
        options.preset = preset;
        options.check = LZMA_CHECK_CRC64;
        while (options.threads > 1 && lzma_stream_encoder_mt_memusage(&options) > kMemoryBudget) --options.threads;
        ready_ = lzma_stream_encoder_mt(&stream_, &options) == LZMA_OK;
    }
    ~TXzEncoder() override { lzma_end(&stream_); }
    TXzEncoder(const TXzEncoder&) = delete;
    TXzEncoder& operator=(const TXzEncoder&) = delete;

    bool Encode(const std::uint8_t* data, std::size_t size, bool last, TStream32& out) override {
        if (!ready_) return false;
        stream_.next_in = data;
        stream_.avail_in = size;
        const lzma_action action = last ? LZMA_FINISH : LZMA_RUN;
        for (;;) {
            stream_.next_out = buffer_.data();
            stream_.avail_out = buffer_.size();
            const lzma_ret rc = lzma_code(&stream_, action);
            const auto produced = static_cast<std::int64_t>(buffer_.size() - stream_.avail_out);
            if (produced > 0 && out.WriteFull(buffer_.data(), produced) != produced) return false;
            if (rc == LZMA_STREAM_END) return true;
            if (rc != LZMA_OK) return false;
            // Running, the encoder is done with this piece once it took it all and had output room left.
            if (!last && stream_.avail_in == 0 && stream_.avail_out != 0) return true;
        }
    }

private:
    lzma_stream stream_ = LZMA_STREAM_INIT;
    std::vector<std::uint8_t> buffer_;
    bool ready_ = false;
};

}  // namespace

std::uint32_t XzPresetFor(TDeflateType type) {
    switch (type) {
        case dtDeflateS: return 0;
        case dtDeflateF: return 1;
        case dtDeflateX: return 9;
        default: return 6;
    }
}

std::unique_ptr<TStreamEncoder> NewXzEncoder(std::uint32_t preset) { return std::make_unique<TXzEncoder>(preset); }

TChunkResult WriteXzStream(TStream32& input, std::int64_t size, std::uint32_t preset, TStream32& out,
                           const TChunkProgress& progress) {
    TXzEncoder encoder(preset);
    return EncodeStream(input, size, encoder, out, progress);
}

}  // namespace kv
