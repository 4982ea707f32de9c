#include "engine/writers/entry_encoder.h"

#include <bzlib.h>
#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "engine/core/bz2_streams.h"
#include "engine/core/crc.h"
#include "engine/core/deflate_streams.h"

namespace kv {
namespace {

constexpr std::size_t kStreamBufferSize = 1 << 20;
// Scratch buffers up to this size are kept for the next entry; larger ones are given back.
constexpr std::size_t kKeptScratch = std::size_t{8} << 20;

std::uint16_t CodecMethod(const TEntryEncoding& encoding) {
    return encoding.Codec == TEntryCodec::ecBzip2 ? kZipMethodBzip2 : kZipMethodDeflated;
}

// The method fields of an entry written with `method`; a deflated one says how hard the compressor tried.
void SetMethod(TZipRecordEntry& entry, std::uint16_t method, const TEntryEncoding& encoding) {
    entry.Method = method;
    if (method == kZipMethodDeflated) entry.Flags |= encoding.DeflateFlags;
}

void SetSizes(TZipRecordEntry& entry, std::uint16_t method, const TEntryEncoding& encoding, std::uint32_t crc,
              std::uint64_t packed, std::uint64_t unpacked) {
    SetMethod(entry, method, encoding);
    entry.Crc = crc;
    entry.PackedSize = packed;
    entry.UnpackedSize = unpacked;
}

// Enciphers what is written through it into the target and counts the bytes.
class TCipherSink : public TStream32 {
public:
    TCipherSink(TStream32& target, TEntryEncryptor* encryptor) : target_(target), encryptor_(encryptor) {}

    std::int64_t Read(void*, std::int64_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        return offset == 0 && origin == TSeekOrigin::soCurrent ? written_ : -1;
    }
    std::int64_t Write(const void* data, std::int64_t count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        if (encryptor_ != nullptr) {
            buffer_.assign(bytes, bytes + count);
            encryptor_->Encrypt(buffer_.data(), buffer_.size());
            bytes = buffer_.data();
        }
        const std::int64_t put = target_.WriteFull(bytes, count);
        if (put < count) SetLastError(target_.LastError());
        written_ += put;
        return put;
    }
    bool Put(const std::vector<std::uint8_t>& bytes) {
        const auto count = static_cast<std::int64_t>(bytes.size());
        const std::int64_t put = target_.WriteFull(bytes.data(), count);
        written_ += put;
        return put == count;
    }
    std::int64_t Written() const { return written_; }

private:
    TStream32& target_;
    TEntryEncryptor* encryptor_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t written_ = 0;
};

}  // namespace

TBufferEncoder::~TBufferEncoder() {
    for (libdeflate_compressor* compressor : compressors_) {
        if (compressor != nullptr) libdeflate_free_compressor(compressor);
    }
}

libdeflate_compressor* TBufferEncoder::Compressor(int level) {
    libdeflate_compressor*& compressor = compressors_[static_cast<std::size_t>(level)];
    if (compressor == nullptr) compressor = libdeflate_alloc_compressor(level);
    if (compressor == nullptr) throw std::bad_alloc();
    return compressor;
}

std::vector<std::uint8_t> TBufferEncoder::Encode(const std::uint8_t* data, std::size_t size,
                                                 const TEntryEncoding& encoding, TZipRecordEntry& entry) {
    const std::uint32_t crc = Crc32Of(data, size);
    auto encryptor = MakeEntryEncryptor(encoding.Cipher, crc, entry.DosDateTime, false);
    std::vector<std::uint8_t> packed = encryptor ? encryptor->Header() : std::vector<std::uint8_t>{};
    const std::size_t start = packed.size();

    const std::size_t compressed = encoding.Level > 0 && size > 0 ? Compress(data, size, encoding) : 0;
    if (compressed > 0) {
        packed.insert(packed.end(), output_.data(), output_.data() + compressed);
        SetSizes(entry, CodecMethod(encoding), encoding, crc, compressed, size);
    } else {
        packed.resize(start + size);
        if (size > 0) std::memcpy(packed.data() + start, data, size);
        SetSizes(entry, kZipMethodStored, encoding, crc, size, size);
    }
    TrimScratch();
    if (encryptor) {
        encryptor->Encrypt(packed.data() + start, packed.size() - start);
        const std::vector<std::uint8_t> trailer = encryptor->Trailer();
        packed.insert(packed.end(), trailer.begin(), trailer.end());
        entry.PackedSize = packed.size();
        ApplyCipherFields(encoding.Cipher, entry);
    }
    return packed;
}

std::size_t TBufferEncoder::Compress(const std::uint8_t* data, std::size_t size, const TEntryEncoding& encoding) {
    if (encoding.Codec == TEntryCodec::ecBzip2) {
        // The output is never allowed to reach the input's size: then the entry is stored.
        if (size > UINT32_MAX) return 0;
        auto packed = static_cast<unsigned int>(size - 1);
        if (packed == 0) return 0;
        const int rc = BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(Scratch(output_, packed)), &packed,
                                                const_cast<char*>(reinterpret_cast<const char*>(data)),
                                                static_cast<unsigned int>(size), std::clamp(encoding.Bzip2BlockSize, 1, 9),
                                                0, 0);
        if (rc == BZ_MEM_ERROR) throw std::bad_alloc();
        return rc == BZ_OK ? packed : 0;
    }
    libdeflate_compressor* compressor = Compressor(std::clamp(encoding.Level, 1, 9));
    const std::size_t bound = libdeflate_deflate_compress_bound(compressor, size);
    const std::size_t deflated = libdeflate_deflate_compress(compressor, data, size, Scratch(output_, bound), bound);
    return deflated < size ? deflated : 0;
}

std::uint8_t* TBufferEncoder::Scratch(std::vector<std::uint8_t>& buffer, std::size_t size) {
    // Growing the size (not only the capacity) keeps later calls from clearing what they overwrite anyway.
    if (buffer.size() < size) buffer.resize(size);
    return buffer.data();
}

void TBufferEncoder::TrimScratch() {
    for (std::vector<std::uint8_t>* buffer : {&input_, &output_}) {
        if (buffer->size() > kKeptScratch) {
            buffer->clear();
            buffer->shrink_to_fit();
        }
    }
}

TStreamOutcome EncodeStream(TStream32& source, TStream32& out, const TEntryEncoding& encoding, bool compress,
                            TZipRecordEntry& entry, bool zip64_sizes, const TEncodeProgress& progress) {
    const bool descriptor = encoding.Cipher.Kind == TEntryCipherKind::ecZipCrypto;
    if (descriptor) entry.Flags |= 0x0008;
    auto encryptor = MakeEntryEncryptor(encoding.Cipher, 0, entry.DosDateTime, descriptor);
    TCipherSink sink(out, encryptor.get());
    if (encryptor && !sink.Put(encryptor->Header())) return TStreamOutcome::soWriteError;

    std::vector<std::uint8_t> buffer(kStreamBufferSize);
    std::uint32_t crc = 0xFFFFFFFFu;
    std::int64_t total = 0;
    std::optional<TCompressStream> deflater;
    std::optional<TBZCompressStream> bzip2;
    if (compress && encoding.Codec == TEntryCodec::ecBzip2) {
        bzip2.emplace(sink, std::clamp(encoding.Bzip2BlockSize, 1, 9));
    } else if (compress) {
        deflater.emplace(sink, std::clamp(encoding.Level, 1, 9));
    }
    TStream32& target = deflater ? static_cast<TStream32&>(*deflater) : bzip2 ? static_cast<TStream32&>(*bzip2) : sink;
    for (;;) {
        const std::int64_t got = source.Read(buffer.data(), static_cast<std::int64_t>(buffer.size()));
        if (got < 0 || (got == 0 && source.LastError() != 0)) return TStreamOutcome::soReadError;
        if (got == 0) break;
        crc = UpdateCrc32(crc, buffer.data(), static_cast<std::size_t>(got));
        total += got;
        if (target.Write(buffer.data(), got) != got) return TStreamOutcome::soWriteError;
        if (progress && !progress(got)) return TStreamOutcome::soCancelled;
    }
    if ((deflater && !deflater->Finish()) || (bzip2 && !bzip2->Finish())) return TStreamOutcome::soWriteError;
    if (encryptor && !sink.Put(encryptor->Trailer())) return TStreamOutcome::soWriteError;
    SetSizes(entry, compress ? CodecMethod(encoding) : kZipMethodStored, encoding, ~crc,
             static_cast<std::uint64_t>(sink.Written()), static_cast<std::uint64_t>(total));
    ApplyCipherFields(encoding.Cipher, entry);
    if (descriptor) {
        std::vector<std::uint8_t> record;
        AppendDataDescriptor(record, entry, zip64_sizes);
        if (out.WriteFull(record.data(), static_cast<std::int64_t>(record.size())) !=
            static_cast<std::int64_t>(record.size())) {
            return TStreamOutcome::soWriteError;
        }
    }
    return TStreamOutcome::soDone;
}

}  // namespace kv
