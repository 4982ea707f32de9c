#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/custom_dclass.h"
#include "engine/core/deflate_streams.h"
#include "engine/core/header_reader.h"
#include "engine/core/read_ahead_stream.h"
#include "engine/core/zip_central_cursor.h"
#include "engine/core/zip_headers.h"
#include "engine/readers/overlapped_decode.h"
#include "engine/readers/zip_split_set.h"

struct libdeflate_decompressor;

namespace kv {

// Extracts and tests ZIP archives (plain and self-extracting) with the engine's own decoders: stored,
// Shrink, Reduce, Implode, Deflate, Deflate64, BZIP2, LZMA, XZ, Zstandard and PPMd, entries enciphered with
// the classic cipher or with WinZip's AES given their password.
class TUnZip : public TUnBase {
public:
    bool CheckPassword(const TCipherHeader& header) override;

    // Deflate entries whose packed and unpacked sizes together stay within this many bytes are inflated in
    // one call with libdeflate, which is much faster than streaming; larger ones stream through zlib. 0
    // streams every entry. The limit bounds the memory this takes whatever the archive holds.
    std::int64_t WholeBufferLimit = 0;

protected:
    void ExtractIt(TStream32* archive, TObject* component) override;
    // The attributes an extracted file gets; JAR archives choose their own.
    virtual std::uint32_t OutputAttributes(const TZipEntryHeader& header, bool directory) const;
    // What a caller following the run can hear; nothing by default. The entries are chosen: how many of
    // them are files and the bytes those hold, before the first entry is read.
    virtual void EntriesSelected(int /*files*/, std::int64_t /*unpacked_bytes*/) {}
    // An entry is about to be extracted or tested: its place in the archive (counting from 0) and its header.
    virtual void EntryStarts(int /*index*/, const std::string& /*name*/, const TZipEntryHeader& /*header*/,
                             bool /*directory*/) {}

private:
    // An entry as its header describes it.
    struct TEntry {
        TZipEntryHeader Header;  // from the central directory (or the local header without one)
        std::string Name;        // converted
        bool Directory = false;
    };
    // A selected entry: where its header can be read again, which keeps the selection small however long
    // the names are.
    struct TSelected {
        std::int64_t HeaderAt = 0;     // the central header, or the local one in an archive without a directory
        std::int64_t LocalOffset = 0;  // where the local header lies in the file
        int Index = 0;                 // its place in the archive
    };
    // Memory that only grows, left uninitialised: refilled for each entry.
    class TGrowingBuffer {
    public:
        std::uint8_t* Reserve(std::size_t size) {
            if (size > capacity_) {
                data_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
                capacity_ = size;
            }
            return data_.get();
        }

    private:
        std::unique_ptr<std::uint8_t[]> data_;
        std::size_t capacity_ = 0;
    };
    // What the extraction pass reads through, made once for all its entries: the archive's headers and data
    // through large buffers, one inflate stream reset for each Deflate entry, one buffer for decoded data.
    struct TExtractionPass {
        explicit TExtractionPass(TStream32& archive) : data(archive), headers(archive, data.Size()) {}
        TReadAheadStream data;
        THeaderReader headers;
        std::unique_ptr<TDecompressStream> inflater;  // made for the first Deflate entry
        std::vector<std::uint8_t> decoded;
        // The whole-buffer inflater and its buffers, made for the first entry that fits WholeBufferLimit.
        std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> whole{nullptr, nullptr};
        TGrowingBuffer whole_packed;
        TGrowingBuffer whole_unpacked;
        std::unique_ptr<TOverlappedDecoder> overlapped;  // started for the first entry that pays for it
    };

    // `set` joins the volumes of a split archive (null for a single file): its offsets count per disk.
    void SelectFromCentral(TStream32& archive, std::int64_t position, const TSplitSetStream* set,
                           std::vector<TSelected>& selected);
    // The volumes of a split archive, each asked for through OnNextVolume; null when one is refused.
    std::unique_ptr<TSplitSetStream> OpenSplitSet(std::uint32_t last_disk);
    // The header at `position` (central or local) with its name and extra field, deciphered and converted;
    // nothing when no complete header is there.
    std::optional<TEntry> ReadHeader(THeaderReader& reader, std::int64_t position, bool central);
    // How the directory's names become text: as the archive's settings say.
    TZipNameRule NameRule() const;
    static TEntry EntryOf(const TZipCentralRecord& central);
    void SelectFromLocal(TStream32& archive, std::int64_t position, std::vector<TSelected>& selected);
    // Where the entry whose local header lies at `header_at` ends; a streamed entry's CRC and sizes are
    // taken from its data descriptor into `header`.
    std::optional<std::int64_t> LocalEntryEnd(THeaderReader& reader, std::int64_t header_at, TZipEntryHeader& header);
    // Adds an entry to the selection when its cipher is one the engine knows.
    void Offer(const TEntry& entry, TSelected where, std::vector<TSelected>& selected);
    void ExtractEntry(TExtractionPass& pass, const TEntry& entry, std::int64_t local_offset, int index);
    // Finds the password of an AES entry whose data starts at the archive's position and decodes the entry
    // through its cipher; the verdict comes from the authentication code, and for AE-1 also from the CRC.
    void ExtractAesEntry(TExtractionPass& pass, const TZipEntryHeader& header, std::int64_t packed_size,
                         std::uint32_t dos_date_time);
    // Closes the output with the entry's date; drops it when nothing was decoded into it.
    void FinishOutput(const TZipEntryHeader& header, std::uint32_t dos_date_time, bool decoded);
    // The methods Decode knows.
    static bool IsKnownMethod(std::uint16_t method);
    // Decodes the entry's data (compressed with `method`) standing at the source's position into the
    // output; the source is the archive or an AES entry's plain data. A data error is reported and gives
    // false (the checksum test then fails too).
    bool Decode(TExtractionPass& pass, TStream32& source, std::uint16_t method, const TZipEntryHeader& header,
                std::int64_t packed_size, bool enciphered);
    // Inflates a Deflate entry in one call when it fits WholeBufferLimit; nothing when it does not.
    std::optional<bool> InflateWhole(TExtractionPass& pass, TStream32& source, std::int64_t packed_size,
                                     std::int64_t unpacked_size, bool enciphered,
                                     const std::function<void(std::int64_t)>& progress);

    // What CheckPassword compares against for the entry being opened.
    std::uint16_t check_flags_ = 0;
    std::uint32_t check_crc_ = 0;
    std::uint32_t check_time_ = 0;
    std::int64_t local_correction_ = 0;  // found by the search for the first local header
    int selected_files_ = 0;
};

// The same reader for JAR archives: extracted files get plain attributes.
class TUnJar : public TUnZip {
protected:
    std::uint32_t OutputAttributes(const TZipEntryHeader& header, bool directory) const override;
};

}  // namespace kv
