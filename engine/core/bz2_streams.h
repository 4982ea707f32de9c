#pragma once

#include <bzlib.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "engine/core/custom_stream.h"
#include "engine/core/entry_enums.h"

namespace kv {

// Failures of the BZIP2 streams. They stay inside the engine: the operation that uses a stream catches them.
class Ebz2libError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class Ebz2DATAError : public Ebz2libError {
public:
    using Ebz2libError::Ebz2libError;
};
class Ebz2MEMError : public Ebz2libError {
public:
    using Ebz2libError::Ebz2libError;
};
class Ebz2USERError : public Ebz2libError {
public:
    using Ebz2libError::Ebz2libError;
};

// The common part of the BZIP2 streams: libbz2's state, a 64 KiB buffer towards the source, the data
// cipher of emZip_V2 entries, and the cancel check (a set cancel flag raises Ebz2USERError). Anything the
// stream cannot do (seeking, reading a compressor, writing a decompressor) raises
// "Invalid stream operation".
class Tbz2Stream : public TCustomStream {
public:
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    bool SetSize(std::int64_t size) override;

protected:
    Tbz2Stream(TStream32& source, TEncryptionMethod method);

    [[noreturn]] static void RaiseInvalidOperation();
    // Raises for a libbz2 result of the initialisation.
    [[noreturn]] static void RaiseInitError(int rc);
    void CheckCancel() const;

    bz_stream bzstream_{};
    std::vector<char> buffer_;
    TEncryptionMethod method_;
};

// Decompresses one BZIP2 stream from the source; reading stops at its end. Corrupt or truncated data
// raises Ebz2DATAError. When destroyed, the source is moved back over the input read ahead but not
// consumed, so that it stands right after the compressed data.
class TBzDecompressStream : public Tbz2Stream {
public:
    explicit TBzDecompressStream(TStream32& source, TEncryptionMethod method = emNone, std::int64_t input_limit = -1);
    ~TBzDecompressStream() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;

    bool Finished() const { return finished_; }

private:
    bool FillInput();

    std::int64_t input_limit_;
    std::int64_t input_read_ = 0;
    bool finished_ = false;
};

// Compresses what is written to it into the target as one BZIP2 stream (block size in units of
// 100 000 bytes, 1 to 9).
class TBZCompressStream : public Tbz2Stream {
public:
    TBZCompressStream(TStream32& target, int block_size_100k, TEncryptionMethod method = emNone);
    // Finishes the stream unless Finish() ran; failures then go unnoticed.
    ~TBZCompressStream() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    // Returns the bytes taken; fewer than count when the target failed (LastError() holds its errno).
    std::int64_t Write(const void* buffer, std::int64_t count) override;

    // Writes the end of the stream; false when the target failed. Later calls do nothing.
    bool Finish();
    bool Failed() const { return failed_; }

private:
    // Runs the compressor with `action` until it wants more input (or ends); false when the target failed.
    bool Compress(int action);

    bool failed_ = false;
    bool finished_ = false;
};

}  // namespace kv
