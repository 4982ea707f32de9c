#include "engine/core/bz2_streams.h"

#include <algorithm>

#include "engine/core/data_cipher.h"

namespace kv {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
// libbz2 counts in unsigned int; larger requests are fed in slices of this size.
constexpr std::int64_t kMaxSlice = std::int64_t{1} << 30;

constexpr const char* kNoMemoryToInit = "The bz2 engine have not enough memory to initialize !";
constexpr const char* kInitFailed = "The bz2 engine reports a fatal error during initialization process !";
constexpr const char* kDataCorruption = "The bz2 engine signals a data corruption";
constexpr const char* kDecompressFailed = "The bz2 engine reports a fatal error during decompression process.";
constexpr const char* kCompressFailed = "The bz2 engine reports a fatal error during compression process.";
constexpr const char* kTerminationFailed = "The bz2 engine reports a fatal error during terminaison process.";
constexpr const char* kUserAbort = "The client application abort bz2 process";
constexpr const char* kInvalidOperation = "Invalid stream operation";

}  // namespace

Tbz2Stream::Tbz2Stream(TStream32& source, TEncryptionMethod method)
    : TCustomStream(source), buffer_(kBufferSize), method_(method) {}

void Tbz2Stream::RaiseInvalidOperation() { throw Ebz2libError(kInvalidOperation); }

void Tbz2Stream::RaiseInitError(int rc) {
    if (rc == BZ_MEM_ERROR) throw Ebz2MEMError(kNoMemoryToInit);
    throw Ebz2libError(kInitFailed);
}

void Tbz2Stream::CheckCancel() const {
    if (CancelFlag != nullptr && *CancelFlag) throw Ebz2USERError(kUserAbort);
}

std::int64_t Tbz2Stream::Seek(std::int64_t offset, TSeekOrigin origin) {
    // Asking for the position is allowed; moving is not.
    if (offset == 0 && origin == TSeekOrigin::soCurrent) return TCustomStream::Seek(offset, origin);
    RaiseInvalidOperation();
}

bool Tbz2Stream::SetSize(std::int64_t) { RaiseInvalidOperation(); }

TBzDecompressStream::TBzDecompressStream(TStream32& source, TEncryptionMethod method, std::int64_t input_limit)
    : Tbz2Stream(source, method), input_limit_(input_limit) {
    const int rc = BZ2_bzDecompressInit(&bzstream_, 0, 0);
    if (rc != BZ_OK) RaiseInitError(rc);
}

TBzDecompressStream::~TBzDecompressStream() {
    ReturnUnusedInput(bzstream_.avail_in);
    BZ2_bzDecompressEnd(&bzstream_);
}

std::int64_t TBzDecompressStream::Write(const void*, std::int64_t) { RaiseInvalidOperation(); }

bool TBzDecompressStream::FillInput() {
    std::int64_t want = static_cast<std::int64_t>(buffer_.size());
    if (input_limit_ >= 0) want = std::min(want, input_limit_ - input_read_);
    if (want <= 0) return false;
    const std::int64_t got = ReadSource(buffer_.data(), want);
    if (got <= 0) return false;
    DecipherData(method_, reinterpret_cast<std::uint8_t*>(buffer_.data()), static_cast<std::size_t>(got));
    input_read_ += got;
    bzstream_.next_in = buffer_.data();
    bzstream_.avail_in = static_cast<unsigned int>(got);
    return true;
}

std::int64_t TBzDecompressStream::Read(void* buffer, std::int64_t count) {
    if (finished_ || count <= 0) return 0;
    CheckCancel();
    auto* out = static_cast<char*>(buffer);
    std::int64_t produced = 0;
    while (produced < count && !finished_) {
        // The input ending before the stream's end marker is as corrupt as a bad block.
        if (bzstream_.avail_in == 0 && !FillInput()) throw Ebz2DATAError(kDataCorruption);
        const auto room = static_cast<unsigned int>(std::min(count - produced, kMaxSlice));
        bzstream_.next_out = out + produced;
        bzstream_.avail_out = room;
        const int rc = BZ2_bzDecompress(&bzstream_);
        produced += room - bzstream_.avail_out;
        switch (rc) {
            case BZ_OK: break;
            case BZ_STREAM_END: finished_ = true; break;
            case BZ_DATA_ERROR:
            case BZ_DATA_ERROR_MAGIC: throw Ebz2DATAError(kDataCorruption);
            case BZ_MEM_ERROR: throw Ebz2MEMError(kDecompressFailed);
            default: throw Ebz2libError(kDecompressFailed);
        }
    }
    AdvancePosition(produced);
    return produced;
}

TBZCompressStream::TBZCompressStream(TStream32& target, int block_size_100k, TEncryptionMethod method)
    : Tbz2Stream(target, method) {
    const int rc = BZ2_bzCompressInit(&bzstream_, block_size_100k, 0, 0);
    if (rc != BZ_OK) RaiseInitError(rc);
}

TBZCompressStream::~TBZCompressStream() {
    try {
        Finish();
    } catch (const Ebz2libError&) {
        // Nobody is left to tell; a caller who cares calls Finish() itself.
    }
    BZ2_bzCompressEnd(&bzstream_);
}

std::int64_t TBZCompressStream::Read(void*, std::int64_t) { RaiseInvalidOperation(); }

bool TBZCompressStream::Compress(int action) {
    for (;;) {
        bzstream_.next_out = buffer_.data();
        bzstream_.avail_out = static_cast<unsigned int>(buffer_.size());
        const int rc = BZ2_bzCompress(&bzstream_, action);
        const auto produced = static_cast<std::int64_t>(buffer_.size() - bzstream_.avail_out);
        if (produced > 0) {
            EncipherData(method_, reinterpret_cast<std::uint8_t*>(buffer_.data()), static_cast<std::size_t>(produced));
            if (WriteSource(buffer_.data(), produced) != produced) return false;
        }
        if (action == BZ_RUN) {
            if (rc != BZ_RUN_OK) throw Ebz2libError(kCompressFailed);
            if (bzstream_.avail_in == 0) return true;
        } else {
            if (rc == BZ_STREAM_END) return true;
            if (rc != BZ_FINISH_OK) throw Ebz2libError(kTerminationFailed);
        }
    }
}

std::int64_t TBZCompressStream::Write(const void* buffer, std::int64_t count) {
    if (failed_ || finished_ || count <= 0) return 0;
    CheckCancel();
    const auto* in = static_cast<const char*>(buffer);
    std::int64_t taken = 0;
    while (taken < count) {
        const std::int64_t slice = std::min(count - taken, kMaxSlice);
        bzstream_.next_in = const_cast<char*>(in + taken);
        bzstream_.avail_in = static_cast<unsigned int>(slice);
        const bool ok = Compress(BZ_RUN);
        taken += slice - bzstream_.avail_in;
        if (!ok) {
            failed_ = true;
            break;
        }
    }
    AdvancePosition(taken);
    return taken;
}

bool TBZCompressStream::Finish() {
    if (finished_) return !failed_;
    finished_ = true;
    if (failed_) return false;
    bzstream_.next_in = nullptr;
    bzstream_.avail_in = 0;
    failed_ = !Compress(BZ_FINISH);
    return !failed_;
}

}  // namespace kv
