#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/core/stream32.h"
#include "engine/writers/entry_cipher.h"
#include "engine/writers/zip_records.h"

struct libdeflate_compressor;

namespace kv {

enum class TEntryCodec { ecDeflate, ecBzip2 };

// How one entry's data is encoded: level 0 stores, 1..9 compresses with the codec (stored anyway when
// compressing does not make it smaller).
struct TEntryEncoding {
    int Level = 6;
    TEntryCodec Codec = TEntryCodec::ecDeflate;
    int Bzip2BlockSize = 9;  // in units of 100 000 bytes
    // General-purpose bits 1-2 of a deflated entry: how hard the compressor tried.
    std::uint16_t DeflateFlags = 0;
    TEntryCipherOptions Cipher;
};

// Encodes whole entries held in memory with libdeflate. One encoder per thread: it keeps a compressor for
// each level it has used.
class TBufferEncoder {
public:
    TBufferEncoder() = default;
    ~TBufferEncoder();
    TBufferEncoder(const TBufferEncoder&) = delete;
    TBufferEncoder& operator=(const TBufferEncoder&) = delete;

    // The entry's packed bytes (cipher header and trailer included); fills method, flags, CRC, sizes and
    // the cipher's fields of `entry`.
    std::vector<std::uint8_t> Encode(const std::uint8_t* data, std::size_t size, const TEntryEncoding& encoding,
                                     TZipRecordEntry& entry);

    // Working memory kept from entry to entry, so that each one does not map and fault in fresh memory:
    // a buffer of at least `size` bytes (contents undefined), and the release of buffers grown large.
    std::uint8_t* Scratch(std::vector<std::uint8_t>& buffer, std::size_t size);
    void TrimScratch();
    // Where the caller may read an entry's data before encoding it.
    std::vector<std::uint8_t>& InputBuffer() { return input_; }

private:
    libdeflate_compressor* Compressor(int level);
    // The packed size, or 0 when the codec could not make it smaller than `size`.
    std::size_t Compress(const std::uint8_t* data, std::size_t size, const TEntryEncoding& encoding);
    std::array<libdeflate_compressor*, 10> compressors_{};
    std::vector<std::uint8_t> input_;
    std::vector<std::uint8_t> output_;
};

enum class TStreamOutcome { soDone, soReadError, soWriteError, soCancelled };

// Told the bytes of the source just encoded; false stops encoding (soCancelled).
using TEncodeProgress = std::function<bool(std::int64_t bytes)>;

// Streams the source from its current position to its end through the codec into `out` (stored when
// `compress` is false), enciphered as asked; fills method, flags, CRC and sizes of `entry`. The classic cipher needs the
// CRC before the data, so its streamed entries get a data descriptor (flag bit 3), which this writes too.
TStreamOutcome EncodeStream(TStream32& source, TStream32& out, const TEntryEncoding& encoding, bool compress,
                            TZipRecordEntry& entry, bool zip64_sizes, const TEncodeProgress& progress);

}  // namespace kv
