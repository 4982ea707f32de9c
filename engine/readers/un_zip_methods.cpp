// The ZIP reader's decoders, by method.
#include <libdeflate.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/codecs/explode.h"
#include "engine/codecs/inflate.h"
#include "engine/codecs/lzma_decode.h"
#include "engine/codecs/ppmd8_decode.h"
#include "engine/codecs/unreduce.h"
#include "engine/codecs/unshrink.h"
#include "engine/codecs/zstd_decode.h"
#include "engine/core/bz2_streams.h"
#include "engine/core/deflate_streams.h"
#include "engine/core/error_codes.h"
#include "engine/readers/entry_data_io.h"
#include "engine/readers/un_zip.h"

namespace kv {
namespace {

enum : std::uint16_t {
    kStored = 0, kShrunk = 1, kReduced1 = 2, kReduced4 = 5, kImploded = 6, kDeflated = 8, kDeflate64 = 9, kBzip2 = 12,
    kLzma = 14, kZstdOld = 20, kZstd = 93, kXz = 95, kPpmd = 98,
};
constexpr std::uint16_t kFlagImplode8k = 0x0002;
constexpr std::uint16_t kFlagImplodeLiteralTree = 0x0004;
constexpr std::int64_t kStepSize = 32768;
constexpr std::size_t kWholeSlice = 1024 * 1024;
// From this size on, an entry of a slow method is decoded on a worker thread while its output is
// written; below it, starting the thread costs more than the overlap saves.
constexpr std::int64_t kOverlapFrom = 256 * 1024;

bool PaysToOverlap(std::uint16_t method, std::int64_t unpacked_size) {
    return unpacked_size >= kOverlapFrom &&
           (method == kLzma || method == kXz || method == kPpmd || method == kZstd || method == kZstdOld);
}

}  // namespace

bool TUnZip::IsKnownMethod(std::uint16_t method) {
    return method == kStored || method == kShrunk || (method >= kReduced1 && method <= kReduced4) ||
           method == kImploded || method == kDeflated || method == kDeflate64 || method == kBzip2 || method == kLzma ||
           method == kZstdOld || method == kZstd || method == kXz || method == kPpmd;
}

bool TUnZip::Decode(TExtractionPass& pass, TStream32& source, std::uint16_t method, const TZipEntryHeader& header,
                    std::int64_t packed_size, bool enciphered) {
    const auto unpacked = static_cast<std::int64_t>(std::min<std::uint64_t>(header.UnpackedSize, INT64_MAX / 4));
    std::int64_t done = 0;
    const auto progress = [&](std::int64_t size) {
        done += size;
        BytesToProcess -= size;
        ReportProgress(ArchiveTotalBytes, unpacked, std::min(done, unpacked));
    };
    const TEncryptionMethod cipher = enciphered ? emZip_V2 : emNone;
    bool data_error = false;
    bool refused = false;
    const std::optional<bool> whole =
        method == kDeflated ? InflateWhole(pass, source, packed_size, unpacked, enciphered, progress) : std::nullopt;

    if (method == kStored) {
        TEntryRecord record;
        record.PackedSize = packed_size;
        record.Flags = enciphered ? kZipFlagEnciphered : 0;
        // The packed size delimits stored data (an unpacked size that disagrees is taken as unzip takes it);
        // they fail when the archive ends before they do.
        data_error = CopyStored(source, Output.get(), record, kCrc32) > 0;
    } else if (whole) {
        data_error = !*whole;
    } else if (method == kDeflated || method == kBzip2) {
        // The library streams: zlib for Deflate, libbz2 for BZIP2, read in 32 KiB steps.
        std::vector<std::uint8_t>& buffer = pass.decoded;
        buffer.resize(static_cast<std::size_t>(kStepSize));
        TEntrySink sink(*this, Output.get(), progress, unpacked);
        try {
            if (method == kDeflated) {
                // One inflate stream serves every entry read straight from the archive: setting one up costs
                // more than a small entry's data.
                std::unique_ptr<TDecompressStream> own;
                TDecompressStream* stream = nullptr;
                if (&source != &pass.data) {
                    own = std::make_unique<TDecompressStream>(source, kStepSize, cipher, kRawDeflateWindowBits,
                                                              packed_size);
                    stream = own.get();
                } else if (pass.inflater) {
                    pass.inflater->Restart(cipher, packed_size);
                    stream = pass.inflater.get();
                } else {
                    pass.inflater = std::make_unique<TDecompressStream>(source, kStepSize, cipher,
                                                                        kRawDeflateWindowBits, packed_size);
                    stream = pass.inflater.get();
                }
                for (std::int64_t got; (got = stream->Read(buffer.data(), kStepSize)) > 0;)
                    if (!sink.Write(buffer.data(), static_cast<std::size_t>(got))) break;
                data_error = stream->Failed();
            } else {
                TBzDecompressStream stream(source, cipher, packed_size);
                for (std::int64_t got; (got = stream.Read(buffer.data(), kStepSize)) > 0;)
                    if (!sink.Write(buffer.data(), static_cast<std::size_t>(got))) break;
            }
        } catch (const Ebz2libError&) {
            data_error = true;
        }
        data_error = data_error || sink.Overflowed();
    } else {
        TEntrySource entry_source(*this, source, packed_size, enciphered);
        TEntrySink sink(*this, Output.get(), progress, unpacked);
        const auto size = static_cast<std::uint64_t>(unpacked);
        const auto decode = [&](TByteSource& from, TByteSink& to) {
            switch (method) {
                case kDeflate64: return Inflate(from, to, true);
                case kLzma: return UnLzmaZip(from, to, size);
                case kXz: return UnXz(from, to);
                case kPpmd: return UnPpmdZip(from, to, size);
                case kZstd:
                case kZstdOld: return UnZstd(from, to);
                case kShrunk: return Unshrink(from, to, size);
                case kImploded:
                    return Explode(from, to, size, (header.Flags & kFlagImplode8k) != 0,
                                   (header.Flags & kFlagImplodeLiteralTree) != 0);
                default: return Unreduce(from, to, size, method - kReduced1 + 1);
            }
        };
        TDecodeResult result = TDecodeResult::drOk;
        if (PaysToOverlap(method, unpacked)) {
            if (!pass.overlapped) pass.overlapped = std::make_unique<TOverlappedDecoder>();
            result = pass.overlapped->Decode(entry_source, sink, decode);
        } else {
            result = decode(entry_source, sink);
        }
        data_error = result == TDecodeResult::drDataError || result == TDecodeResult::drTruncated || sink.Overflowed();
        refused = result == TDecodeResult::drUnsupported;
    }
    // The data ends where the header says, or the entry fails whatever its checksum: a stream that stops
    // early or runs on is damaged (or made to look smaller than it is).
    if (GetCancel()) return false;
    // An entry whose parameters ask for more than a decoder allows is refused as an unknown method is.
    if (refused) {
        DoError(CurrentStoredName, {}, "0", ecode::kUnsupportedMethod);
        return false;
    }
    data_error = data_error || (method != kStored && done != unpacked);
    if (data_error) DoError(CurrentStoredName, {}, "0", ecode::kDecompressionError);
    return !data_error;
}

std::optional<bool> TUnZip::InflateWhole(TExtractionPass& pass, TStream32& source, std::int64_t packed_size,
                                         std::int64_t unpacked_size, bool enciphered,
                                         const std::function<void(std::int64_t)>& progress) {
    if (WholeBufferLimit <= 0 || packed_size > WholeBufferLimit || unpacked_size > WholeBufferLimit - packed_size)
        return std::nullopt;
    if (!pass.whole) {
        pass.whole = {libdeflate_alloc_decompressor(), libdeflate_free_decompressor};
        if (!pass.whole) return std::nullopt;
    }
    std::uint8_t* packed = pass.whole_packed.Reserve(static_cast<std::size_t>(packed_size));
    // One byte at least: an empty entry still needs somewhere to point.
    std::uint8_t* unpacked = pass.whole_unpacked.Reserve(static_cast<std::size_t>(unpacked_size) + 1);
    bool data_ok = ReadBlock(source, packed_size, kNoCrc, enciphered, packed) == packed_size;
    std::size_t produced = 0;
    data_ok = data_ok && libdeflate_deflate_decompress(pass.whole.get(), packed, static_cast<std::size_t>(packed_size),
                                                       unpacked, static_cast<std::size_t>(unpacked_size), &produced) ==
                             LIBDEFLATE_SUCCESS;
    if (data_ok) {
        // Written in slices, so that progress and cancelling keep their pace on large entries.
        TEntrySink sink(*this, Output.get(), progress);
        for (std::size_t at = 0; at < produced;) {
            const std::size_t slice = std::min<std::size_t>(produced - at, kWholeSlice);
            if (!sink.Write(unpacked + at, slice)) break;
            at += slice;
        }
    }
    return data_ok;
}

}  // namespace kv
