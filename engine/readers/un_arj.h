#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/core/custom_dclass.h"
#include "engine/core/header_reader.h"
#include "engine/readers/arj_header.h"

namespace kv {

// Extracts and tests ARJ archives: methods 0 to 4, garbled entries, and files continued over the volumes
// of a set (each volume's piece compressed and checked on its own).
class TUnARJ : public TUnBase {
protected:
    void ExtractIt(TStream32* archive, TObject* component) override;

private:
    // How one piece of a file came out.
    enum class TPiece { pOk, pBadCrc, pBadData, pTruncated, pStopped };

    // The file headers of the current volume start behind its main header; false (reported) without one.
    bool OpenVolume(std::int64_t main_offset, std::int64_t& first);
    // Moves on to the next volume of the set; false when there is none.
    bool NextVolume(std::int64_t& first);
    // Reads the header at `offset` of the current volume; a damaged or cut header is reported.
    TArjHeaderRead ReadHeader(std::int64_t offset, TArjHeader& header);
    std::string EntryName(const TArjHeader& header) const;
    // Whether the walk extracts this header: a file's or folder's first piece that the selection takes.
    bool Wanted(const TArjHeader& header, std::int64_t offset, bool first_volume);

    // Extracts the entry of this header; where the walk goes on, or -1 when it ends.
    std::int64_t ExtractEntry(const TArjHeader& header);
    // Decodes one piece of the current file through the password, if garbled, and checks it against its
    // own CRC-32; `written` grows by its size.
    TPiece DecodePiece(const TArjHeader& piece, std::int64_t& written, std::int64_t& done);
    // Follows a continued file into the next volume: the continuation's header, when it carries on the
    // file where `written` ended, and where the walk goes on behind it (or -1).
    bool FindContinuation(const TArjHeader& file, std::int64_t written, TArjHeader& piece, std::int64_t& next);
    std::uint32_t OutputAttributes(const TArjHeader& header) const;

    std::optional<THeaderReader> headers_;
    std::uint8_t encryption_version_ = 0;  // the current volume's main header's
    bool set_continues_ = false;           // the current volume is not the last of its set
    int volumes_changed_ = 0;
    std::vector<std::int64_t> selected_;   // the first volume's chosen header offsets, in order
};

}  // namespace kv
