// Inflates one raw Deflate stream with zlib and with the engine's own decoder, in the same input chunks and
// output block sizes, and prints both times and the speed ratio. The output is checksummed, not kept, so the
// decoders' speed is what is measured. With "deflate" it makes the raw stream from a file first.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/codecs/inflate.h"
#include "engine/codecs/memory_byte_io.h"

namespace {

constexpr std::size_t kInputChunk = 64 * 1024;
constexpr std::size_t kOutputBlock = 256 * 1024;

std::vector<std::uint8_t> ReadWhole(const char* path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max<std::streamoff>(file.tellg(), 0)));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// A cheap checksum of the 8-byte words of the whole output, whatever blocks it comes in.
struct TChecksum {
    std::uint64_t sum = 0;
    std::uint64_t mixed = 0;
    std::uint64_t size = 0;
    void Add(const std::uint8_t* data, std::size_t count) {
        std::size_t i = 0;
        for (; i < count && size % 8 != 0; ++i, ++size) AddByte(data[i]);
        for (; i + 8 <= count; i += 8, size += 8) {
            std::uint64_t word;
            std::memcpy(&word, data + i, 8);
            sum += word;
            mixed ^= word;
        }
        for (; i < count; ++i, ++size) AddByte(data[i]);
    }
    void AddByte(std::uint8_t byte) {
        const std::uint64_t word = std::uint64_t{byte} << (size % 8 * 8);
        sum += word;
        mixed ^= word;
    }
    bool operator==(const TChecksum&) const = default;
};

class TChecksumSink : public kv::TByteSink {
public:
    bool Write(const std::uint8_t* data, std::size_t size) override {
        Checksum.Add(data, size);
        return true;
    }
    TChecksum Checksum;
};

bool ZlibInflate(const std::vector<std::uint8_t>& packed, TChecksum& checksum) {
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK) return false;
    std::vector<std::uint8_t> out(kOutputBlock);
    std::size_t offset = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        if (stream.avail_in == 0 && offset < packed.size()) {
            const std::size_t chunk = std::min(kInputChunk, packed.size() - offset);
            stream.next_in = const_cast<Bytef*>(packed.data() + offset);
            stream.avail_in = static_cast<uInt>(chunk);
            offset += chunk;
        }
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        status = inflate(&stream, Z_NO_FLUSH);
        checksum.Add(out.data(), out.size() - stream.avail_out);
        if (status == Z_BUF_ERROR && stream.avail_in == 0 && offset == packed.size()) break;
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END;
}

bool OwnInflate(const std::vector<std::uint8_t>& packed, TChecksum& checksum) {
    kv::TMemorySource source(packed, kInputChunk);
    TChecksumSink sink;
    const bool ok = kv::Inflate(source, sink, false) == kv::TDecodeResult::drOk;
    checksum = sink.Checksum;
    return ok;
}

// Best of `runs` timings, in seconds.
template <typename F>
double BestSeconds(int runs, F&& run) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!run()) return -1;
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

int MakeStream(const char* from, const char* to) {
    const std::vector<std::uint8_t> data = ReadWhole(from);
    std::vector<std::uint8_t> packed(compressBound(static_cast<uLong>(data.size())) + 1024);
    z_stream stream{};
    if (deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 1;
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt>(packed.size());
    const int status = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) return 1;
    std::ofstream(to, std::ios::binary).write(reinterpret_cast<const char*>(packed.data()),
                                              static_cast<std::streamsize>(stream.total_out));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "deflate") == 0) return MakeStream(argv[2], argv[3]);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s PACKED [RUNS]\n       %s deflate INPUT PACKED\n", argv[0], argv[0]);
        return 2;
    }
    const int runs = argc == 3 ? std::atoi(argv[2]) : 3;
    const std::vector<std::uint8_t> packed = ReadWhole(argv[1]);
    TChecksum zlib_sum, own_sum;
    const double zlib_seconds = BestSeconds(runs, [&] { return ZlibInflate(packed, zlib_sum = {}); });
    const double own_seconds = BestSeconds(runs, [&] { return OwnInflate(packed, own_sum); });
    if (zlib_seconds < 0 || own_seconds < 0 || !(zlib_sum == own_sum)) {
        std::fprintf(stderr, "the decoders disagree or failed\n");
        return 1;
    }
    const double megabytes = static_cast<double>(zlib_sum.size) / 1e6;
    std::printf("%.0f MB from %.0f MB packed: zlib %.3f s (%.0f MB/s), kv %.3f s (%.0f MB/s), speed ratio kv/zlib %.2f\n",
                megabytes, static_cast<double>(packed.size()) / 1e6, zlib_seconds, megabytes / zlib_seconds,
                own_seconds, megabytes / own_seconds, zlib_seconds / own_seconds);
    return 0;
}
