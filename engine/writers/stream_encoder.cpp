#include "engine/writers/stream_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

namespace kv {
namespace {

constexpr std::int64_t kPieceSize = 1024 * 1024;

}  // namespace

TChunkResult EncodeStream(TStream32& input, std::int64_t size, TStreamEncoder& encoder, TStream32& out,
                          const TChunkProgress& progress) {
    TChunkResult result;
    auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kPieceSize);
    uLong crc = ::crc32(0, nullptr, 0);
    std::int64_t done = 0;
    // An empty input still makes one call, which ends the stream.
    do {
        const std::int64_t piece = std::min(kPieceSize, size - done);
        if (input.ReadAt(done, buffer.get(), piece) != piece) {
            result.Outcome = TChunkOutcome::coReadError;
            return result;
        }
        crc = ::crc32(crc, buffer.get(), static_cast<uInt>(piece));
        done += piece;
        if (!encoder.Encode(buffer.get(), static_cast<std::size_t>(piece), done >= size, out)) {
            result.Outcome = TChunkOutcome::coWriteError;
            return result;
        }
        if (progress && !progress(piece)) {
            result.Outcome = TChunkOutcome::coCancelled;
            return result;
        }
    } while (done < size);
    result.Crc = static_cast<std::uint32_t>(crc);
    result.Size = static_cast<std::uint64_t>(done);
    return result;
}

}  // namespace kv
