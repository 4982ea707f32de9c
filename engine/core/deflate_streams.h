#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/custom_stream.h"
#include "engine/core/entry_enums.h"

namespace kv {

// Raw deflate window bits of ZIP and BH entries (no zlib header, 32 KiB window).
inline constexpr int kRawDeflateWindowBits = -MAX_WBITS;

// Deflates what is written to it into the target stream. The level is zlib's (Z_DEFAULT_COMPRESSION or
// 0..9); with emZip_V2 the compressed bytes are enciphered with the data keys on their way out.
class TCompressStream : public TCustomStream {
public:
    TCompressStream(TStream32& target, int level, int window_bits = kRawDeflateWindowBits,
                    TEncryptionMethod method = emNone);
    // Finishes the deflate stream unless Finish() ran; call Finish() to learn whether that worked.
    ~TCompressStream() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    // Returns the bytes taken; fewer than count when the target failed (LastError() holds its errno).
    std::int64_t Write(const void* buffer, std::int64_t count) override;

    // Writes the end of the deflate stream; false when writing failed. Later calls do nothing.
    bool Finish();
    bool Failed() const { return failed_; }
    std::int64_t TotalIn() const { return total_in_; }
    std::int64_t TotalOut() const { return total_out_; }

private:
    bool Deflate(int flush);

    z_stream zstream_{};
    std::vector<std::uint8_t> output_;
    TEncryptionMethod method_;
    std::int64_t total_in_ = 0;
    std::int64_t total_out_ = 0;
    bool initialised_ = false;
    bool failed_ = false;
    bool finished_ = false;
};

enum class TInflateState { isRunning, isFinished, isCorrupt, isTruncated, isOutOfMemory };

// Inflates the source into the caller's buffers. The source is read in chunks of chunk_size bytes (never
// more than input_limit bytes in all when that is not negative); each chunk is deciphered with the data
// keys when the method is emZip_V2 and the source's OnProgress is called. Reading stops at the end of the
// deflate stream. Corrupt or truncated data ends reading with State() telling why; Read never throws.
// When destroyed, the source is moved back over the input read ahead but not consumed, so that it stands
// right after the compressed data.
class TDecompressStream : public TCustomStream {
public:
    TDecompressStream(TStream32& source, std::int64_t chunk_size, TEncryptionMethod method = emNone,
                      int window_bits = kRawDeflateWindowBits, std::int64_t input_limit = -1);
    ~TDecompressStream() override;

    // Returns the bytes inflated; 0 once the stream ended or failed.
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    // Starts on another deflate stream at the source's current position, as if newly made with `method` and
    // `input_limit`; input read ahead for the previous one is dropped, not returned to the source.
    void Restart(TEncryptionMethod method, std::int64_t input_limit);

    TInflateState State() const { return state_; }
    bool Failed() const { return state_ != TInflateState::isRunning && state_ != TInflateState::isFinished; }
    // zlib's explanation of a failure, or a short one of our own.
    std::string ErrorText() const;
    std::int64_t TotalIn() const { return input_read_ - zstream_.avail_in; }
    std::int64_t TotalOut() const { return total_out_; }

private:
    bool FillInput();

    z_stream zstream_{};
    std::vector<std::uint8_t> input_;
    TEncryptionMethod method_;
    std::int64_t input_limit_;
    std::int64_t input_read_ = 0;
    std::int64_t total_out_ = 0;
    TInflateState state_ = TInflateState::isRunning;
    bool initialised_ = false;
};

}  // namespace kv
