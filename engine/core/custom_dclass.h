#pragma once

#include <cstdint>

#include "engine/core/zip_common.h"

namespace kv {

// The extraction framework every reader plugs its format routine into.
class TCustomDClass : public TZipCommon {
public:
    // Extracts the selected entries to files; returns the number of entries written.
    int Extract();
    // Decodes every selected entry and checks its checksum without writing anything; returns the number
    // of entries processed.
    int TestArchive();

    // Whether the entry just decoded passes its check: the stored value equals the accumulator selected
    // by crc_kind or its complement. Fires OnEnd, or reports "File fails CRC check" without it.
    virtual bool CheckCRC(int crc_kind, std::uint32_t stored_crc);
    // Verifies a 12-byte cipher header against the current password; only the cipher formats can.
    virtual bool CheckPassword(const TCipherHeader& /*header*/) { return false; }

    TOnBegin OnBegin;
    TOnEnd OnEnd;
    TUnBase_OnFileExists OnFileExists;
    TOnRenameFile OnRenameFile;
    TOnGetPassword OnGetPassword;

protected:
    // The format routine: selects entries and runs the per-entry steps over the open archive stream
    // (null for the types whose outside decoder opens the file itself).
    virtual void ExtractIt(TStream32* /*archive*/, TObject* /*component*/) {}

private:
    int RunOperation(TOutputMode mode);
};

// The readers' base: adds the exclusion masks' event.
class TUnBase : public TCustomDClass {
public:
    TOnExcludeFile OnExcludeFile;
};

}  // namespace kv
