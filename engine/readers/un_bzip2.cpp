#include "engine/readers/un_bzip2.h"

#include <bzlib.h>

#include <array>
#include <memory>

namespace kv {
namespace {

constexpr std::size_t kChunkSize = 256 * 1024;

// One libbz2 decompressor, ended however the decoding ends.
class TBzDecoder {
public:
    TBzDecoder() { ready_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK; }
    ~TBzDecoder() {
        if (ready_) BZ2_bzDecompressEnd(&stream_);
    }
    TBzDecoder(const TBzDecoder&) = delete;
    TBzDecoder& operator=(const TBzDecoder&) = delete;
    bool Ready() const { return ready_; }
    bz_stream& Stream() { return stream_; }

private:
    bz_stream stream_{};
    bool ready_ = false;
};

enum class TStreamEnd { seEnded, seFailed, seStopped };

// Decodes one BZIP2 stream; the input read behind its end is given back.
TStreamEnd DecodeStream(TMemberInput& input, TByteSink& sink, std::uint8_t* in, std::uint8_t* out) {
    TBzDecoder decoder;
    if (!decoder.Ready()) return TStreamEnd::seFailed;
    bz_stream& stream = decoder.Stream();
    for (;;) {
        if (stream.avail_in == 0) {
            const std::size_t got = input.Read(in, kChunkSize);
            if (got == 0) return TStreamEnd::seFailed;  // cut off before the stream's end
            stream.next_in = reinterpret_cast<char*>(in);
            stream.avail_in = static_cast<unsigned>(got);
        }
        stream.next_out = reinterpret_cast<char*>(out);
        stream.avail_out = static_cast<unsigned>(kChunkSize);
        const int rc = BZ2_bzDecompress(&stream);
        const std::size_t produced = kChunkSize - stream.avail_out;
        if (produced > 0 && !sink.Write(out, produced)) return TStreamEnd::seStopped;
        if (rc == BZ_STREAM_END) {
            input.GiveBack(stream.avail_in);
            return TStreamEnd::seEnded;
        }
        // libbz2 checks every block's CRC and the stream's: a mismatch is a data error here.
        if (rc != BZ_OK) return TStreamEnd::seFailed;
    }
}

// Whether a BZIP2 stream starts at the input's position ("BZh" and the block size); reads nothing.
bool StreamFollows(TMemberInput& input) {
    std::array<std::uint8_t, 4> magic{};
    std::size_t got = 0;
    while (got < magic.size()) {
        const std::size_t step = input.Read(magic.data() + got, magic.size() - got);
        if (step == 0) break;
        got += step;
    }
    input.GiveBack(got);
    return got == magic.size() && magic[0] == 'B' && magic[1] == 'Z' && magic[2] == 'h' && magic[3] >= '1' &&
           magic[3] <= '9';
}

}  // namespace

TUnSingleFile::TMemberStart TUnBZip2::ReadStart(TMemberInput&) { return {}; }

bool TUnBZip2::DecodeMember(TMemberInput& input, TByteSink& sink) {
    auto in = std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize);
    auto out = std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize);
    // Streams follow one another as `bzip2 -d` reads them; anything else behind the last one is ignored.
    do {
        const TStreamEnd end = DecodeStream(input, sink, in.get(), out.get());
        if (end == TStreamEnd::seFailed) ReportDataError();
        if (end != TStreamEnd::seEnded) return false;
    } while (!GetCancel() && StreamFollows(input));
    return !GetCancel();
}

}  // namespace kv
