// The ZIP reader's decoders, by method.
#include <vector>

#include "engine/codecs/explode.h"
#include "engine/codecs/inflate.h"
#include "engine/codecs/unreduce.h"
#include "engine/codecs/unshrink.h"
#include "engine/core/bz2_streams.h"
#include "engine/core/deflate_streams.h"
#include "engine/core/error_codes.h"
#include "engine/readers/entry_data_io.h"
#include "engine/readers/un_zip.h"

namespace kv {
namespace {

enum : std::uint16_t {
    kStored = 0, kShrunk = 1, kReduced1 = 2, kReduced4 = 5, kImploded = 6, kDeflated = 8, kDeflate64 = 9, kBzip2 = 12,
};
constexpr std::uint16_t kFlagImplode8k = 0x0002;
constexpr std::uint16_t kFlagImplodeLiteralTree = 0x0004;
constexpr std::int64_t kStepSize = 32768;

}  // namespace

bool TUnZip::IsKnownMethod(std::uint16_t method) {
    return method == kStored || method == kShrunk || (method >= kReduced1 && method <= kReduced4) ||
           method == kImploded || method == kDeflated || method == kDeflate64 || method == kBzip2;
}

void TUnZip::Decode(TExtractionPass& pass, const TZipEntryHeader& header, std::int64_t packed_size, bool enciphered) {
    TStream32& archive = pass.data;
    const auto unpacked = static_cast<std::int64_t>(std::min<std::uint64_t>(header.UnpackedSize, INT64_MAX / 4));
    std::int64_t done = 0;
    const auto progress = [&](std::int64_t size) {
        done += size;
        BytesToProcess -= size;
        ReportProgress(ArchiveTotalBytes, unpacked, std::min(done, unpacked));
    };
    const TEncryptionMethod cipher = enciphered ? emZip_V2 : emNone;
    bool data_error = false;

    if (header.Method == kStored) {
        TEntryRecord record;
        record.PackedSize = packed_size;
        record.Flags = header.Flags;
        CopyStored(archive, Output.get(), record, kCrc32);
        return;
    }
    if (header.Method == kDeflated || header.Method == kBzip2) {
        // The library streams: zlib for Deflate, libbz2 for BZIP2, read in 32 KiB steps.
        std::vector<std::uint8_t>& buffer = pass.decoded;
        buffer.resize(static_cast<std::size_t>(kStepSize));
        TEntrySink sink(*this, Output.get(), progress);
        try {
            if (header.Method == kDeflated) {
                // One inflate stream serves every entry: setting one up costs more than a small entry's data.
                if (pass.inflater) {
                    pass.inflater->Restart(cipher, packed_size);
                } else {
                    pass.inflater = std::make_unique<TDecompressStream>(archive, kStepSize, cipher,
                                                                        kRawDeflateWindowBits, packed_size);
                }
                TDecompressStream& stream = *pass.inflater;
                for (std::int64_t got; (got = stream.Read(buffer.data(), kStepSize)) > 0;)
                    if (!sink.Write(buffer.data(), static_cast<std::size_t>(got))) break;
                data_error = stream.Failed();
            } else {
                TBzDecompressStream stream(archive, cipher, packed_size);
                for (std::int64_t got; (got = stream.Read(buffer.data(), kStepSize)) > 0;)
                    if (!sink.Write(buffer.data(), static_cast<std::size_t>(got))) break;
            }
        } catch (const Ebz2libError&) {
            data_error = true;
        }
    } else {
        TEntrySource source(*this, archive, packed_size, enciphered);
        TEntrySink sink(*this, Output.get(), progress);
        const auto size = static_cast<std::uint64_t>(unpacked);
        TDecodeResult result = TDecodeResult::drOk;
        switch (header.Method) {
            case kDeflate64: result = Inflate(source, sink, true); break;
            case kShrunk: result = Unshrink(source, sink, size); break;
            case kImploded:
                result = Explode(source, sink, size, (header.Flags & kFlagImplode8k) != 0,
                                 (header.Flags & kFlagImplodeLiteralTree) != 0);
                break;
            default: result = Unreduce(source, sink, size, header.Method - kReduced1 + 1); break;
        }
        data_error = result == TDecodeResult::drDataError || result == TDecodeResult::drTruncated;
    }
    if (data_error && !GetCancel()) DoError(CurrentStoredName, {}, "0", ecode::kDecompressionError);
}

}  // namespace kv
