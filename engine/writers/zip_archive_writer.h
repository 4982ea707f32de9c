#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/stream32.h"
#include "engine/core/zip_cipher.h"
#include "engine/writers/entry_encoder.h"
#include "engine/writers/zip_records.h"

namespace kv {

// Told the bytes just moved; false stops the work.
using TWriteProgress = std::function<bool(std::int64_t bytes)>;

// Writes a ZIP archive front to back into a seekable stream: entries copied from another archive, entries
// encoded in memory, entries streamed from a file, then the central directory and the end records (ZIP64
// where a count, size or offset needs it). Each call returns false when writing failed; LastError() tells
// the errno.
class TZipArchiveWriter {
public:
    explicit TZipArchiveWriter(TStream32& out);

    // Hides the local and central headers of the entries written from now on (signature "PL" instead of
    // "PK"; the rest of the record, name and extra field enciphered with keys started from `seed`).
    // Entries copied from another archive keep their local headers as they are.
    void EncipherHeaders(const TSeedKeyRecord& seed) { header_seed_ = seed; }

    // Bytes that go before the first entry (a self-extractor's stub).
    bool WritePrefix(TStream32& source, std::int64_t size, const TWriteProgress& progress);
    // A kept entry: `length` bytes at `offset` of the old archive (local header, data and descriptor)
    // copied as they are; `central` is its central header, whose offset this sets.
    bool CopyEntry(TStream32& source, std::int64_t offset, std::int64_t length, TZipRecordEntry central,
                   const TWriteProgress& progress);
    // A kept entry under a new local header: `local_header` goes first, then what follows the old local
    // header (`old_header_size` of the `length` bytes at `offset`).
    bool CopyEntryWithHeader(const std::vector<std::uint8_t>& local_header, TStream32& source, std::int64_t offset,
                             std::int64_t old_header_size, std::int64_t length, TZipRecordEntry central,
                             const TWriteProgress& progress);
    // An entry whose packed bytes are ready (a folder has none).
    bool AddEncoded(TZipRecordEntry entry, const std::vector<std::uint8_t>& packed);
    // Encodes the rest of `source` straight into the archive: the local header is written first and
    // rewritten with the sizes once they are known; an entry that deflating makes larger is written again,
    // stored, from the source's start.
    TStreamOutcome AddStreamed(const TZipRecordEntry& entry, std::uint64_t expected_size, TStream32& source,
                               const TEntryEncoding& encoding, const TEncodeProgress& progress);
    // The central directory with the archive comment; nothing can be added afterwards.
    bool Finish(const std::string& comment, const TWriteProgress& progress);

    const std::vector<TZipRecordEntry>& Entries() const { return entries_; }
    // What Finish will write of central headers.
    std::int64_t CentralDirectorySize() const;
    std::int64_t Position() const { return position_; }
    int LastError() const { return last_error_; }

private:
    bool Put(const void* data, std::size_t size);
    bool Put(const std::vector<std::uint8_t>& bytes) { return Put(bytes.data(), bytes.size()); }
    bool CopyFrom(TStream32& source, std::int64_t offset, std::int64_t length, const TWriteProgress& progress);
    TStreamOutcome StreamOnce(TZipRecordEntry& entry, bool compress, bool zip64_sizes, TStream32& source,
                              const TEntryEncoding& encoding, const TEncodeProgress& progress);
    // A local header as it goes into the archive.
    std::vector<std::uint8_t> LocalHeader(const TZipRecordEntry& entry, bool zip64_sizes) const;

    TStream32& out_;
    std::int64_t position_;
    std::vector<TZipRecordEntry> entries_;
    int last_error_ = 0;
    std::optional<TSeedKeyRecord> header_seed_;
};

}  // namespace kv
