#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/core/zip_common.h"
#include "platform/output_tree.h"

namespace kv {

// The extraction framework every reader plugs its format routine into.
class TCustomDClass : public TZipCommon {
public:
    // Extracts the selected entries to files; returns the number of entries written.
    int Extract();
    // Decodes every selected entry and checks its checksum without writing anything; returns the number
    // of entries processed.
    int TestArchive();
    // Extract (or TestArchive with `testing`) over `source` in place of the archive file's bytes: a TAR as
    // it is decoded from the compressed file ArchiveFile names, read once from start to end.
    int ExtractFrom(TStream32& source, bool testing);

    // Whether the entry just decoded passes its check: the stored value equals the accumulator selected
    // by crc_kind or its complement. Fires OnEnd, or reports "File fails CRC check" without it.
    virtual bool CheckCRC(int crc_kind, std::uint32_t stored_crc);
    // Tells the entry's verdict as CheckCRC does, for entries checked otherwise (an authentication code).
    bool ReportCheck(bool pass);
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

    // --- the shared steps every format routine runs for an entry ---
    // The output path from ExtractDir, UseStoredDirs and the stored name, confined to ExtractDir; empty
    // when the name leaves nothing to write.
    void SetOutputName(const std::string& stored_name) override;
    // Rename, OnBegin and the overwrite protocol; true when the entry is to be extracted (and counted).
    // skip_checks accepts at once, for entries the format routine has decided about.
    bool BeginFile(bool skip_checks = false);
    // Creates the output file (writing files), opens the existing one at its end (appending), or nothing
    // (testing); false when the file cannot be made.
    bool OpenOutput();
    // Reads the entry's 12-byte cipher header and finds a password that opens it. False leaves the data to
    // be skipped.
    bool GetPassword(TStream32& archive);
    // Finds a password that `opens` accepts (it tries Password): Password, then each line of Passwords, then
    // OnGetPassword up to PasswordAttempts times, each refusal reported as "Invalid password".
    bool FindPassword(const std::function<bool()>& opens);
    // Closes the output and gives the file its date (by DateAttribute; mod_time, when the archive holds
    // one, before the MS-DOS date) and attributes: MS-DOS bits in the low byte, or a Unix writer's
    // permissions in the high half.
    void CloseOutput(std::uint32_t attributes, std::uint32_t dos_date_time,
                     const std::optional<TPreciseTime>& mod_time = std::nullopt);
    // A directory entry: its folder is made when writing files with CreateStoredDirs.
    void CreateStoredDirectory(const std::string& stored_name);

    // Set while the archive is read from a stream that cannot go back (ExtractFrom).
    bool ReadOnce = false;

    // The current entry's output (null while testing).
    std::unique_ptr<TFileStream32> Output;
    // The extraction folder with the folders below it this operation has verified.
    platform::TOutputTree OutputTree;

private:
    // Creates the folder of an output file: below the destination through OutputTree, which refuses steps
    // that are not real folders; elsewhere (a renamed output) as the rename asked.
    bool MakeOutputFolder(const std::string& folder);
    int RunOperation(TOutputMode mode, TStream32* source = nullptr);
};

// The readers' base: adds the exclusion masks' event.
class TUnBase : public TCustomDClass {
public:
    TOnExcludeFile OnExcludeFile;

protected:
    // Whether FileSpec selects the entry and no ExcludeSpec mask rejects it (OnExcludeFile tells which).
    bool SelectEntry(const std::string& name);
};

}  // namespace kv
