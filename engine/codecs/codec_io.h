#pragma once

#include <cstddef>
#include <cstdint>

namespace kv {

// Where a decoder takes its packed bytes from: any chunking, so a decoder never assumes that a call
// returns as much as it asked for.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    // Copies up to `size` bytes into `buffer`; 0 when the packed data has ended.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t size) = 0;
};

// Where a decoder puts what it decoded, in blocks of the decoder's choosing.
class TByteSink {
public:
    virtual ~TByteSink() = default;
    // False stops the decoder (a write failed or the user cancelled).
    virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
};

enum class TDecodeResult {
    drOk,         // the stream ended where it should
    drDataError,  // the packed data is not valid for the method
    drTruncated,  // the packed data ended before the stream did
    drStopped,    // the sink refused a block
    drUnsupported,  // the data asks for parameters (memory, a variant) this decoder refuses
};

}  // namespace kv
