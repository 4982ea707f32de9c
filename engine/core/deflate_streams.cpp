#include "engine/core/deflate_streams.h"

#include <algorithm>
#include <cerrno>

#include "engine/core/data_cipher.h"

namespace kv {
namespace {

constexpr std::size_t kOutputBufferSize = 256 * 1024;
constexpr std::int64_t kMaxChunkSize = std::int64_t{64} << 20;
// zlib counts in unsigned int; larger requests are fed in slices of this size.
constexpr std::int64_t kMaxSlice = std::int64_t{1} << 30;

}  // namespace

TCompressStream::TCompressStream(TStream32& target, int level, int window_bits, TEncryptionMethod method)
    : TCustomStream(target), output_(kOutputBufferSize), method_(method) {
    initialised_ = deflateInit2(&zstream_, level, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    failed_ = !initialised_;
}

TCompressStream::~TCompressStream() {
    Finish();
    if (initialised_) deflateEnd(&zstream_);
}

std::int64_t TCompressStream::Read(void*, std::int64_t) {
    SetLastError(EBADF);
    return 0;
}

bool TCompressStream::Deflate(int flush) {
    for (;;) {
        zstream_.next_out = output_.data();
        zstream_.avail_out = static_cast<uInt>(output_.size());
        const int rc = deflate(&zstream_, flush);
        if (rc == Z_STREAM_ERROR) return false;
        const std::int64_t produced = static_cast<std::int64_t>(output_.size() - zstream_.avail_out);
        if (produced > 0) {
            EncipherData(method_, output_.data(), static_cast<std::size_t>(produced));
            if (WriteSource(output_.data(), produced) != produced) return false;
            total_out_ += produced;
        }
        if (flush == Z_FINISH ? rc == Z_STREAM_END : zstream_.avail_in == 0 && zstream_.avail_out != 0) return true;
    }
}

std::int64_t TCompressStream::Write(const void* buffer, std::int64_t count) {
    if (failed_ || finished_ || count <= 0) return 0;
    const auto* in = static_cast<const Bytef*>(buffer);
    std::int64_t taken = 0;
    while (taken < count) {
        const std::int64_t slice = std::min(count - taken, kMaxSlice);
        zstream_.next_in = const_cast<Bytef*>(in + taken);
        zstream_.avail_in = static_cast<uInt>(slice);
        const bool ok = Deflate(Z_NO_FLUSH);
        taken += slice - zstream_.avail_in;
        if (!ok) {
            failed_ = true;
            break;
        }
    }
    total_in_ += taken;
    AdvancePosition(taken);
    return taken;
}

bool TCompressStream::Finish() {
    if (finished_) return !failed_;
    finished_ = true;
    if (failed_) return false;
    zstream_.next_in = nullptr;
    zstream_.avail_in = 0;
    failed_ = !Deflate(Z_FINISH);
    return !failed_;
}

TDecompressStream::TDecompressStream(TStream32& source, std::int64_t chunk_size, TEncryptionMethod method,
                                     int window_bits, std::int64_t input_limit)
    : TCustomStream(source),
      input_(static_cast<std::size_t>(std::clamp<std::int64_t>(chunk_size, 1, kMaxChunkSize))),
      method_(method),
      input_limit_(input_limit) {
    const int rc = inflateInit2(&zstream_, window_bits);
    initialised_ = rc == Z_OK;
    if (!initialised_) state_ = rc == Z_MEM_ERROR ? TInflateState::isOutOfMemory : TInflateState::isCorrupt;
}

TDecompressStream::~TDecompressStream() {
    if (!initialised_) return;
    ReturnUnusedInput(zstream_.avail_in);
    inflateEnd(&zstream_);
}

std::int64_t TDecompressStream::Write(const void*, std::int64_t) {
    SetLastError(EBADF);
    return 0;
}

void TDecompressStream::Restart(TEncryptionMethod method, std::int64_t input_limit) {
    if (!initialised_) return;
    method_ = method;
    input_limit_ = input_limit;
    input_read_ = 0;
    total_out_ = 0;
    zstream_.next_in = nullptr;
    zstream_.avail_in = 0;
    const int rc = inflateReset(&zstream_);
    state_ = rc == Z_OK ? TInflateState::isRunning : TInflateState::isCorrupt;
    Rebase();
}

bool TDecompressStream::FillInput() {
    std::int64_t want = static_cast<std::int64_t>(input_.size());
    if (input_limit_ >= 0) want = std::min(want, input_limit_ - input_read_);
    if (want <= 0) return false;
    const std::int64_t got = ReadSource(input_.data(), want);
    if (got <= 0) return false;
    DecipherData(method_, input_.data(), static_cast<std::size_t>(got));
    input_read_ += got;
    zstream_.next_in = input_.data();
    zstream_.avail_in = static_cast<uInt>(got);
    return true;
}

std::int64_t TDecompressStream::Read(void* buffer, std::int64_t count) {
    if (state_ != TInflateState::isRunning || count <= 0) return 0;
    auto* out = static_cast<Bytef*>(buffer);
    std::int64_t produced = 0;
    while (produced < count && state_ == TInflateState::isRunning) {
        // Without input left, inflate may still hold output for the caller: only its lack of progress
        // tells that the data ended too early.
        if (zstream_.avail_in == 0) FillInput();
        const auto room = static_cast<uInt>(std::min(count - produced, kMaxSlice));
        zstream_.next_out = out + produced;
        zstream_.avail_out = room;
        const int rc = inflate(&zstream_, Z_NO_FLUSH);
        produced += room - zstream_.avail_out;
        switch (rc) {
            case Z_OK: break;
            case Z_STREAM_END: state_ = TInflateState::isFinished; break;
            case Z_MEM_ERROR: state_ = TInflateState::isOutOfMemory; break;
            // No progress: with input left the data cannot go on, without any it ended too early.
            case Z_BUF_ERROR:
                state_ = zstream_.avail_in != 0 ? TInflateState::isCorrupt : TInflateState::isTruncated;
                break;
            default: state_ = TInflateState::isCorrupt; break;
        }
    }
    total_out_ += produced;
    AdvancePosition(produced);
    return produced;
}

std::string TDecompressStream::ErrorText() const {
    switch (state_) {
        case TInflateState::isRunning:
        case TInflateState::isFinished: return {};
        case TInflateState::isCorrupt: return zstream_.msg != nullptr ? zstream_.msg : "invalid deflate data";
        case TInflateState::isTruncated: return "unexpected end of deflate data";
        case TInflateState::isOutOfMemory: return "out of memory";
    }
    return {};
}

}  // namespace kv
