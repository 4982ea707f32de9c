#include "engine/writers/gunzip_stream.h"

#include <zlib.h>

#include <memory>
#include <vector>

namespace kv {
namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
constexpr int kGzipWindowBits = MAX_WBITS + 16;

struct TInflateEnd {
    void operator()(z_stream* stream) const { ::inflateEnd(stream); }
};

}  // namespace

bool GunzipStream(TStream32& in, TStream32& out) {
    z_stream stream{};
    if (::inflateInit2(&stream, kGzipWindowBits) != Z_OK) return false;
    const std::unique_ptr<z_stream, TInflateEnd> guard(&stream);
    std::vector<std::uint8_t> input(kBufferSize);
    std::vector<std::uint8_t> output(kBufferSize);
    bool ended = false;  // at the end of a member
    for (;;) {
        if (stream.avail_in == 0) {
            const std::int64_t got = in.Read(input.data(), static_cast<std::int64_t>(input.size()));
            if (got < 0) return false;
            if (got == 0) return ended;
            stream.next_in = input.data();
            stream.avail_in = static_cast<uInt>(got);
        }
        if (ended) {
            // Another member follows.
            if (::inflateReset(&stream) != Z_OK) return false;
            ended = false;
        }
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(output.size());
        const int rc = ::inflate(&stream, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return false;
        const auto produced = static_cast<std::int64_t>(output.size() - stream.avail_out);
        if (out.WriteFull(output.data(), produced) != produced) return false;
        if (rc == Z_STREAM_END) ended = true;
        else if (rc == Z_BUF_ERROR && stream.avail_in != 0) return false;
    }
}

}  // namespace kv
