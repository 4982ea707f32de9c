#include "engine/writers/zip_archive_writer.h"

#include <algorithm>
#include <cerrno>

#include "engine/writers/entry_cipher.h"

namespace kv {
namespace {

constexpr std::size_t kCopyBufferSize = 1 << 20;

}  // namespace

TZipArchiveWriter::TZipArchiveWriter(TStream32& out) : out_(out), position_(std::max<std::int64_t>(out.Position(), 0)) {}

bool TZipArchiveWriter::Put(const void* data, std::size_t size) {
    const auto count = static_cast<std::int64_t>(size);
    const std::int64_t put = out_.WriteFull(data, count);
    position_ += put;
    if (put == count) return true;
    last_error_ = out_.LastError() != 0 ? out_.LastError() : EIO;
    return false;
}

bool TZipArchiveWriter::CopyFrom(TStream32& source, std::int64_t offset, std::int64_t length,
                                 const TWriteProgress& progress) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::int64_t>(length, kCopyBufferSize)));
    if (!source.SetPosition(offset)) {
        last_error_ = EIO;
        return false;
    }
    while (length > 0) {
        const std::int64_t chunk = std::min<std::int64_t>(length, static_cast<std::int64_t>(buffer.size()));
        if (source.ReadFull(buffer.data(), chunk) != chunk) {
            last_error_ = source.LastError() != 0 ? source.LastError() : EIO;
            return false;
        }
        if (!Put(buffer.data(), static_cast<std::size_t>(chunk))) return false;
        length -= chunk;
        if (progress && !progress(chunk)) {
            last_error_ = ECANCELED;
            return false;
        }
    }
    return true;
}

bool TZipArchiveWriter::WritePrefix(TStream32& source, std::int64_t size, const TWriteProgress& progress) {
    return CopyFrom(source, 0, size, progress);
}

bool TZipArchiveWriter::CopyEntry(TStream32& source, std::int64_t offset, std::int64_t length,
                                  TZipRecordEntry central, const TWriteProgress& progress) {
    central.LocalOffset = static_cast<std::uint64_t>(position_);
    if (!CopyFrom(source, offset, length, progress)) return false;
    entries_.push_back(std::move(central));
    return true;
}

bool TZipArchiveWriter::CopyEntryWithHeader(const std::vector<std::uint8_t>& local_header, TStream32& source,
                                            std::int64_t offset, std::int64_t old_header_size, std::int64_t length,
                                            TZipRecordEntry central, const TWriteProgress& progress) {
    central.LocalOffset = static_cast<std::uint64_t>(position_);
    if (old_header_size > length || !Put(local_header) ||
        !CopyFrom(source, offset + old_header_size, length - old_header_size, progress)) {
        return false;
    }
    entries_.push_back(std::move(central));
    return true;
}

std::vector<std::uint8_t> TZipArchiveWriter::LocalHeader(const TZipRecordEntry& entry, bool zip64_sizes) const {
    std::vector<std::uint8_t> header;
    AppendLocalHeader(header, entry, zip64_sizes);
    if (header_seed_) EncipherHeaderRecord(header.data(), header.size(), *header_seed_);
    return header;
}

bool TZipArchiveWriter::AddEncoded(TZipRecordEntry entry, const std::vector<std::uint8_t>& packed) {
    entry.LocalOffset = static_cast<std::uint64_t>(position_);
    if (!Put(LocalHeader(entry, NeedsZip64Sizes(entry.UnpackedSize))) || !Put(packed)) return false;
    entries_.push_back(std::move(entry));
    return true;
}

TStreamOutcome TZipArchiveWriter::StreamOnce(TZipRecordEntry& entry, bool compress, bool zip64_sizes,
                                             TStream32& source, const TEntryEncoding& encoding,
                                             const TEncodeProgress& progress) {
    const TZipRecordEntry base = entry;
    // The header's length is fixed before the data: the cipher's fields and the flag are known in advance.
    entry.Method = !compress                                     ? kZipMethodStored
                   : encoding.Codec == TEntryCodec::ecBzip2 ? kZipMethodBzip2
                                                            : kZipMethodDeflated;
    if (encoding.Cipher.Kind == TEntryCipherKind::ecZipCrypto) entry.Flags |= 0x0008;
    ApplyCipherFields(encoding.Cipher, entry);
    entry.LocalOffset = static_cast<std::uint64_t>(position_);
    if (!Put(LocalHeader(entry, zip64_sizes))) return TStreamOutcome::soWriteError;

    TZipRecordEntry encoded = base;
    encoded.LocalOffset = entry.LocalOffset;
    const TStreamOutcome outcome = EncodeStream(source, out_, encoding, compress, encoded, zip64_sizes, progress);
    if (outcome != TStreamOutcome::soDone) {
        if (outcome == TStreamOutcome::soWriteError) last_error_ = out_.LastError() != 0 ? out_.LastError() : EIO;
        return outcome;
    }
    entry = std::move(encoded);
    position_ = out_.Position();
    const std::vector<std::uint8_t> header = LocalHeader(entry, zip64_sizes);
    const auto local_offset = static_cast<std::int64_t>(entry.LocalOffset);
    if (!out_.SetPosition(local_offset) ||
        out_.WriteFull(header.data(), static_cast<std::int64_t>(header.size())) !=
            static_cast<std::int64_t>(header.size()) ||
        !out_.SetPosition(position_)) {
        last_error_ = out_.LastError() != 0 ? out_.LastError() : EIO;
        return TStreamOutcome::soWriteError;
    }
    return TStreamOutcome::soDone;
}

TStreamOutcome TZipArchiveWriter::AddStreamed(const TZipRecordEntry& entry, std::uint64_t expected_size,
                                              TStream32& source, const TEntryEncoding& encoding,
                                              const TEncodeProgress& progress) {
    // The local header's layout must not depend on the outcome, so the expected size decides ZIP64.
    const bool zip64_sizes = NeedsZip64Sizes(expected_size);
    const std::int64_t entry_start = position_;
    const std::int64_t source_start = source.Position();
    TZipRecordEntry written = entry;
    const bool compress = encoding.Level > 0;
    TStreamOutcome outcome = StreamOnce(written, compress, zip64_sizes, source, encoding, progress);
    if (outcome == TStreamOutcome::soDone && compress &&
        written.PackedSize > written.UnpackedSize + CipherOverhead(encoding.Cipher)) {
        // Compressing made it larger: start over at the same place and store it.
        if (!out_.SetPosition(entry_start) || !out_.SetSize(entry_start) || !source.SetPosition(source_start)) {
            last_error_ = EIO;
            return TStreamOutcome::soWriteError;
        }
        position_ = entry_start;
        written = entry;
        outcome = StreamOnce(written, false, zip64_sizes, source, encoding, progress);
    }
    if (outcome == TStreamOutcome::soDone) {
        entries_.push_back(std::move(written));
    } else if (outcome == TStreamOutcome::soReadError) {
        // The file failed, not the archive: drop what was written of it so the job can go on without it.
        if (!out_.SetPosition(entry_start) || !out_.SetSize(entry_start)) return TStreamOutcome::soWriteError;
        position_ = entry_start;
    }
    return outcome;
}

std::int64_t TZipArchiveWriter::CentralDirectorySize() const {
    std::int64_t size = 0;
    for (const TZipRecordEntry& entry : entries_) size += static_cast<std::int64_t>(CentralHeaderSize(entry));
    return size;
}

bool TZipArchiveWriter::Finish(const std::string& comment, const TWriteProgress& progress) {
    const auto central_offset = static_cast<std::uint64_t>(position_);
    std::vector<std::uint8_t> block;
    for (const TZipRecordEntry& entry : entries_) {
        const std::size_t before = block.size();
        AppendCentralHeader(block, entry);
        const auto added = static_cast<std::int64_t>(block.size() - before);
        // The entry comment stays readable: readers decipher only up to the end of the extra field.
        if (header_seed_) {
            const std::size_t comment = std::min<std::size_t>(entry.Comment.size(), kZip16Limit);
            EncipherHeaderRecord(block.data() + before, static_cast<std::size_t>(added) - comment, *header_seed_);
        }
        if (block.size() >= kCopyBufferSize) {
            if (!Put(block)) return false;
            block.clear();
        }
        if (progress && !progress(added)) {
            last_error_ = ECANCELED;
            return false;
        }
    }
    const std::uint64_t central_size = static_cast<std::uint64_t>(position_) + block.size() - central_offset;
    AppendEndRecords(block, entries_.size(), central_offset, central_size, comment);
    return Put(block);
}

}  // namespace kv
