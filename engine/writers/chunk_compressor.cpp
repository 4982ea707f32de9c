#include "engine/writers/chunk_compressor.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "engine/writers/ordered_encoder.h"

namespace kv {
namespace {

// Chunks each worker may have ready or in hand before the writer takes them.
constexpr std::int64_t kChunksInFlightPerThread = 4;

}  // namespace

TChunkResult CompressChunks(TStream32& input, std::int64_t size, const TChunking& chunking, const TChunkCodec& codec,
                            TStream32& out, const TChunkProgress& progress) {
    const auto chunk_size = static_cast<std::int64_t>(chunking.ChunkSize);
    const auto history_size = static_cast<std::int64_t>(chunking.HistorySize);
    // An empty input is one empty chunk: the codec still ends its stream.
    const std::size_t count = size <= 0 ? 1 : static_cast<std::size_t>((size + chunk_size - 1) / chunk_size);
    const auto chunk_at = [&](std::size_t index) { return static_cast<std::int64_t>(index) * chunk_size; };
    const auto length_of = [&](std::size_t index) { return std::min(chunk_size, std::max<std::int64_t>(size - chunk_at(index), 0)); };

    std::mutex input_mutex;  // the stream has one position
    const auto cost = [&](std::size_t index) { return length_of(index); };
    const auto work = [&](std::size_t index, TBufferEncoder& encoder) {
        TEncodedEntry chunk;
        const std::int64_t at = chunk_at(index);
        const std::int64_t history = std::min(history_size, at);
        const std::int64_t length = length_of(index);
        std::uint8_t* bytes = encoder.Scratch(encoder.InputBuffer(), static_cast<std::size_t>(history + length));
        {
            std::lock_guard lock(input_mutex);
            if (input.ReadAt(at - history, bytes, history + length) != history + length) {
                chunk.Error = input.LastError() != 0 ? input.LastError() : EIO;
                return chunk;
            }
        }
        const std::uint8_t* data = bytes + history;
        chunk.Entry.Crc = static_cast<std::uint32_t>(::crc32(0, data, static_cast<uInt>(length)));
        chunk.Entry.UnpackedSize = static_cast<std::uint64_t>(length);
        chunk.Packed = codec(bytes, static_cast<std::size_t>(history), data, static_cast<std::size_t>(length),
                             index + 1 == count);
        return chunk;
    };
    const unsigned threads = EncoderThreads(0);
    TOrderedEncoder encoder(count, cost, work, threads, kChunksInFlightPerThread * threads * chunk_size);

    TChunkResult result;
    for (std::size_t index = 0; index < count; ++index) {
        const TEncodedEntry chunk = encoder.Take(index);
        if (chunk.Error != 0) {
            result.Outcome = TChunkOutcome::coReadError;
            return result;
        }
        const auto packed = static_cast<std::int64_t>(chunk.Packed.size());
        if (out.WriteFull(chunk.Packed.data(), packed) != packed) {
            result.Outcome = TChunkOutcome::coWriteError;
            return result;
        }
        const auto length = static_cast<z_off_t>(chunk.Entry.UnpackedSize);
        result.Crc = static_cast<std::uint32_t>(::crc32_combine(result.Crc, chunk.Entry.Crc, length));
        result.Size += chunk.Entry.UnpackedSize;
        if (progress && !progress(length)) {
            result.Outcome = TChunkOutcome::coCancelled;
            return result;
        }
    }
    return result;
}

}  // namespace kv
