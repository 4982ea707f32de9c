#include "engine/readers/un_gzip.h"

#include <array>

#include "engine/codecs/inflate.h"
#include "engine/codecs/unlzw.h"
#include "engine/core/dates.h"
#include "engine/core/error_codes.h"

namespace kv {
namespace {

constexpr std::uint8_t kMagicCompress = 0x9D;

// Passes the decoded bytes on and counts them, for the size in a member's trailer.
class TCountingSink : public TByteSink {
public:
    explicit TCountingSink(TByteSink& sink) : sink_(sink) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
        count_ += size;
        return sink_.Write(data, size);
    }
    std::uint64_t Count() const { return count_; }

private:
    TByteSink& sink_;
    std::uint64_t count_ = 0;
};

bool ReadExact(TMemberInput& input, std::uint8_t* buffer, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const std::size_t got = input.Read(buffer + done, size - done);
        if (got == 0) return false;
        done += got;
    }
    return true;
}

std::uint32_t LoadLE32(const std::uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

int TUnGZip::Refusal(const TGzipMemberHeader& header) {
    // Bit 1 is a header CRC in RFC 1952; in the older meaning it marked one part of a multi-part file,
    // with a part number where the CRC would be.
    if ((header.Flags & TGzipMemberHeader::kFlagHeaderCrc) != 0 && !header.HeaderCrcOk) return ecode::kMultiPartGzip;
    if ((header.Flags & TGzipMemberHeader::kFlagEncrypted) != 0) return ecode::kPasswordProtected;
    if (header.Method != TGzipMemberHeader::kMethodDeflate) return ecode::kUnsupportedMethod;
    return 0;
}

TUnSingleFile::TMemberStart TUnGZip::ReadStart(TMemberInput& input) {
    TMemberStart start;
    compress_ = false;
    const std::int64_t at = input.Position();
    switch (ReadGzipMemberHeader(input, header_)) {
        case TGzipHeaderRead::ghOk:
            start.StoredName = header_.StoredName;
            if (header_.UnixTime != 0) {
                start.DosDateTime = DateTimeToDosDateTime(UnixTimeToDateTime(header_.UnixTime));
                start.ModTime = TPreciseTime{header_.UnixTime, 0};
            }
            start.Refusal = Refusal(header_);
            return start;
        case TGzipHeaderRead::ghTruncated: start.Refusal = ecode::kBadFileHeader; return start;
        case TGzipHeaderRead::ghNotGzip: break;
    }
    input.GiveBack(static_cast<std::size_t>(input.Position() - at));
    std::array<std::uint8_t, 3> magic{};
    compress_ = ReadExact(input, magic.data(), magic.size()) && magic[0] == 0x1F && magic[1] == kMagicCompress;
    lzw_settings_ = magic[2];
    if (!compress_) start.Refusal = ecode::kUnsupportedMethod;
    return start;
}

bool TUnGZip::DecodeMember(TMemberInput& input, TByteSink& sink) {
    if (compress_) {
        // The format keeps no checksum: decoding without an error is all the check there is.
        const bool decoded = UnLzw(input, sink, lzw_settings_) == TDecodeResult::drOk;
        if (!decoded) ReportDataError();
        return decoded;
    }
    bool pass = InflateMember(input, sink);
    // Further members (cat a.gz b.gz) continue the same file; anything else behind the last member, such
    // as zero padding, is ignored.
    while (pass && !GetCancel() && input.Position() < input.FileSize()) {
        const TGzipHeaderRead read = ReadGzipMemberHeader(input, header_);
        if (read == TGzipHeaderRead::ghNotGzip) break;
        if (read == TGzipHeaderRead::ghTruncated) {
            ReportDataError();
            return false;
        }
        if (const int refusal = Refusal(header_); refusal != 0) {
            DoError(CurrentStoredName, {}, "0", refusal);
            return false;
        }
        pass = InflateMember(input, sink);
    }
    return pass;
}

bool TUnGZip::InflateMember(TMemberInput& input, TByteSink& sink) {
    Crc32Value = 0xFFFFFFFFu;
    TCountingSink counted(sink);
    std::size_t unread = 0;
    const TDecodeResult result = Inflate(input, counted, false, &unread);
    if (result == TDecodeResult::drStopped) return false;
    std::array<std::uint8_t, 8> trailer{};
    if (result == TDecodeResult::drOk) input.GiveBack(unread);
    if (result != TDecodeResult::drOk || !ReadExact(input, trailer.data(), trailer.size())) {
        ReportDataError();
        return false;
    }
    return LoadLE32(trailer.data()) == ~Crc32Value &&
           LoadLE32(trailer.data() + 4) == static_cast<std::uint32_t>(counted.Count());
}

}  // namespace kv
