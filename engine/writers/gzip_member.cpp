#include "engine/writers/gzip_member.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "engine/writers/ordered_encoder.h"
#include "platform/byte_order.h"

namespace kv {
namespace {

constexpr std::size_t kDeflateChunk = 256 * 1024;
constexpr std::size_t kDeflateWindow = 32 * 1024;
constexpr std::uint8_t kFlagName = 0x08;
constexpr std::size_t kPlainHeaderSize = 10;
constexpr std::size_t kTrailerSize = 8;

// A raw deflate stream kept per thread and reset for every chunk, so that each chunk does not allocate
// the compressor's tables afresh.
class TChunkDeflater {
public:
    ~TChunkDeflater() {
        if (level_ >= 0) ::deflateEnd(&stream_);
    }

    z_stream& For(int level) {
        if (level_ == level) {
            ::deflateReset(&stream_);
            return stream_;
        }
        if (level_ >= 0) ::deflateEnd(&stream_);
        level_ = -1;
        stream_ = z_stream{};
        if (::deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::bad_alloc();
        level_ = level;
        return stream_;
    }

private:
    z_stream stream_{};
    int level_ = -1;
};

std::vector<std::uint8_t> DeflateChunk(int level, const std::uint8_t* history, std::size_t history_size,
                                       const std::uint8_t* data, std::size_t size, bool last) {
    thread_local TChunkDeflater deflater;
    z_stream& stream = deflater.For(level);
    if (history_size > kDeflateWindow) {
        history += history_size - kDeflateWindow;
        history_size = kDeflateWindow;
    }
    if (history_size > 0) ::deflateSetDictionary(&stream, history, static_cast<uInt>(history_size));
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    // The bound leaves room for the flush marker; the loop grows the buffer should it not.
    std::vector<std::uint8_t> packed(::deflateBound(&stream, static_cast<uLong>(size)) + 16);
    std::size_t produced = 0;
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        if (produced == packed.size()) packed.resize(packed.size() * 2);
        stream.next_out = packed.data() + produced;
        stream.avail_out = static_cast<uInt>(packed.size() - produced);
        const int rc = ::deflate(&stream, flush);
        produced = packed.size() - stream.avail_out;
        if (rc == Z_STREAM_ERROR) throw std::runtime_error("deflate failed");
        if (last ? rc == Z_STREAM_END : stream.avail_out != 0) break;
    }
    packed.resize(produced);
    return packed;
}

// The member header: magic, method, flags, time, and the name when there is one.
std::vector<std::uint8_t> MemberHeader(const TGzipMemberInfo& info, bool with_name) {
    const bool named = with_name && !info.Name.empty();
    std::vector<std::uint8_t> header(kPlainHeaderSize + (named ? info.Name.size() + 1 : 0), 0);
    header[0] = 0x1F;
    header[1] = 0x8B;
    header[2] = 8;  // deflate
    platform::StoreLE32(&header[4], info.ModificationTime);
    if (named) {
        header[3] = kFlagName;
        std::copy(info.Name.begin(), info.Name.end(), header.begin() + kPlainHeaderSize);
    }
    return header;
}

struct TCompressorFree {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

// The chunk as the rest of a member whose header is already out: its deflate data, its CRC-32 and size,
// and unless it is the last, the next member's header.
std::vector<std::uint8_t> MemberChunk(int level, std::uint32_t time, const std::uint8_t* data, std::size_t size,
                                      bool last) {
    // One compressor per thread and level: allocating its tables for every chunk would cost more than a
    // small chunk's compression.
    thread_local std::unique_ptr<libdeflate_compressor, TCompressorFree> compressor;
    thread_local int compressor_level = -1;
    if (compressor_level != level) {
        compressor.reset(libdeflate_alloc_compressor(level));
        if (!compressor) throw std::bad_alloc();
        compressor_level = level;
    }
    // Deflated into a buffer kept per thread: a fresh one of the bound's size would be cleared for every
    // chunk only to be cut down to what the data packs to.
    thread_local std::vector<std::uint8_t> scratch;
    const std::size_t bound = libdeflate_deflate_compress_bound(compressor.get(), size);
    if (scratch.size() < bound) scratch.resize(bound);
    const std::size_t deflated = libdeflate_deflate_compress(compressor.get(), data, size, scratch.data(), bound);
    if (deflated == 0) throw std::runtime_error("deflate failed");
    std::vector<std::uint8_t> packed;
    packed.reserve(deflated + kTrailerSize + kPlainHeaderSize);
    packed.assign(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(deflated));
    std::uint8_t trailer[kTrailerSize];
    platform::StoreLE32(trailer, libdeflate_crc32(0, data, size));
    platform::StoreLE32(trailer + 4, static_cast<std::uint32_t>(size));
    packed.insert(packed.end(), trailer, trailer + kTrailerSize);
    if (!last) {
        const std::vector<std::uint8_t> header = MemberHeader({{}, time, level}, false);
        packed.insert(packed.end(), header.begin(), header.end());
    }
    return packed;
}

}  // namespace

int DeflateLevelFor(TDeflateType type) {
    switch (type) {
        case dtDeflateS: return 0;
        case dtDeflateF: return 1;
        case dtDeflateX: return 9;
        default: return 6;
    }
}

TChunkResult WriteGzipMember(TStream32& input, std::int64_t size, const TGzipMemberInfo& info, TStream32& out,
                             const TChunkProgress& progress) {
    const std::vector<std::uint8_t> header = MemberHeader(info, true);
    TChunkResult result;
    const auto header_size = static_cast<std::int64_t>(header.size());
    if (out.WriteFull(header.data(), header_size) != header_size) {
        result.Outcome = TChunkOutcome::coWriteError;
        return result;
    }
    const int level = info.Level;
    const TChunkCodec codec = [level](const std::uint8_t* history, std::size_t history_size, const std::uint8_t* data,
                                      std::size_t data_size, bool last) {
        return DeflateChunk(level, history, history_size, data, data_size, last);
    };
    result = CompressChunks(input, size, {kDeflateChunk, kDeflateWindow}, codec, out, progress);
    if (result.Outcome != TChunkOutcome::coDone) return result;
    std::uint8_t trailer[8];
    platform::StoreLE32(&trailer[0], result.Crc);
    platform::StoreLE32(&trailer[4], static_cast<std::uint32_t>(result.Size));
    if (out.WriteFull(trailer, sizeof trailer) != static_cast<std::int64_t>(sizeof trailer)) {
        result.Outcome = TChunkOutcome::coWriteError;
    }
    return result;
}

// Members are independent: large enough that their headers and cold starts cost nothing, small enough that
// every core gets work early.
std::unique_ptr<TChunkSink> NewGzipMembers(const TGzipMemberInfo& info, TStream32& out) {
    const std::vector<std::uint8_t> header = MemberHeader(info, true);
    const auto header_size = static_cast<std::int64_t>(header.size());
    if (out.WriteFull(header.data(), header_size) != header_size) return nullptr;
    const int level = info.Level;
    const std::uint32_t time = info.ModificationTime;
    const TChunkPipeline::TCodec codec = [level, time](const std::uint8_t* data, std::size_t size, bool last) {
        return MemberChunk(level, time, data, size, last);
    };
    return std::make_unique<TChunkPipeline>(codec, out, EncoderThreads(0));
}

}  // namespace kv
