#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/custom_dclass.h"
#include "engine/readers/header_reader.h"
#include "engine/readers/zip_headers.h"
#include "engine/readers/zip_split_set.h"

namespace kv {

// Extracts and tests ZIP archives (plain and self-extracting) with the engine's own decoders: stored,
// Shrink, Reduce, Implode, Deflate, Deflate64 and BZIP2, classic-cipher entries with a password.
class TUnZip : public TUnBase {
public:
    bool CheckPassword(const TCipherHeader& header) override;

protected:
    void ExtractIt(TStream32* archive, TObject* component) override;
    // The attributes an extracted file gets; JAR archives choose their own.
    virtual std::uint32_t OutputAttributes(const TZipEntryHeader& header, bool directory) const;

private:
    struct TSelected {
        std::int64_t LocalOffset = 0;  // where the local header lies in the file
        TZipEntryHeader Header;        // from the central directory (or the local header without one)
        std::string Name;              // converted
        bool Directory = false;
    };

    // `set` joins the volumes of a split archive (null for a single file): its offsets count per disk.
    void SelectFromCentral(TStream32& archive, std::int64_t position, const TSplitSetStream* set,
                           std::vector<TSelected>& selected);
    // The volumes of a split archive, each asked for through OnNextVolume; null when one is refused.
    std::unique_ptr<TSplitSetStream> OpenSplitSet(std::uint32_t last_disk);
    // The header at `position` (central or local) with its name and extra field, deciphered and converted;
    // nothing when no complete header is there.
    std::optional<TSelected> ReadHeader(THeaderReader& reader, std::int64_t position, bool central);
    void SelectFromLocal(TStream32& archive, std::int64_t position, std::vector<TSelected>& selected);
    // Adds an entry to the selection when FileSpec takes it and its cipher is one the engine knows.
    void Offer(TSelected&& entry, std::vector<TSelected>& selected);
    void ExtractEntry(TStream32& archive, const TSelected& entry);
    // The methods Decode knows.
    static bool IsKnownMethod(std::uint16_t method);
    // Decodes the entry's data standing at the archive's position into the output; a data error is reported
    // (the checksum test then fails too).
    void Decode(TStream32& archive, const TZipEntryHeader& header, std::int64_t packed_size, bool enciphered);

    // What CheckPassword compares against for the entry being opened.
    std::uint16_t check_flags_ = 0;
    std::uint32_t check_crc_ = 0;
    std::uint32_t check_time_ = 0;
    std::int64_t local_correction_ = 0;  // found by the search for the first local header
};

// The same reader for JAR archives: extracted files get plain attributes.
class TUnJar : public TUnZip {
protected:
    std::uint32_t OutputAttributes(const TZipEntryHeader& header, bool directory) const override;
};

}  // namespace kv
