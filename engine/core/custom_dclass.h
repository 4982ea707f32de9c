#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/zip_common.h"
#include "platform/output_tree.h"
#include "platform/pending_output.h"

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
    // A passing entry's output replaces what bears its name; a failed one's is removed, unless OnEnd set
    // KeepFailedOutput and nothing bears its name. An entry whose output failed (already reported) fails
    // without a further event.
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
    // Creates the output (writing files) under a temporary name beside its own, which replaces an existing
    // file only when the entry passes its check (ReportCheck); opens the existing file at its end
    // (appending); or nothing (testing). With link_data the entry's data is the target of a symbolic link
    // and is collected in memory for CloseOutput. False when the output cannot be made.
    bool OpenOutput(bool link_data = false);
    // OpenOutput for an entry BeginFile accepted; when the output cannot be made, says so, takes the entry
    // out of the count and passes over its size.
    bool OpenEntryOutput(const TEntryRecord& entry, bool link_data = false);
    // Reads the entry's 12-byte cipher header and finds a password that opens it. False leaves the data to
    // be skipped.
    bool GetPassword(TStream32& archive);
    // Finds a password that `opens` accepts (it tries Password): Password, then each line of Passwords, then
    // OnGetPassword up to PasswordAttempts times, each refusal reported as "Invalid password".
    bool FindPassword(const std::function<bool()>& opens);
    // Closes the output and gives the file its date (by DateAttribute; mod_time, when the archive holds
    // one, before the MS-DOS date) and attributes: MS-DOS bits in the low byte, or a Unix writer's
    // permissions in the high half. Link data becomes the symbolic link (RestoreSymbolicLink).
    void CloseOutput(std::uint32_t attributes, std::uint32_t dos_date_time,
                     const std::optional<TPreciseTime>& mod_time = std::nullopt);
    // Drops the current entry's closed output: whatever bears its name stays as it was.
    void DiscardOutput() { pending_.Discard(); }
    // A symbolic link entry holding `target`, made only when the target stays inside the extraction folder
    // (else reported as an invalid name); like a file it replaces what bears its name only when the entry
    // passes (ReportCheck). False when it was refused or could not be made.
    bool RestoreSymbolicLink(const std::string& target, std::uint32_t dos_date_time,
                             const std::optional<TPreciseTime>& mod_time);
    // A second name of the file `existing` (written by this run), committed as a file is.
    bool RestoreHardLink(const std::string& existing);
    // A directory entry: its folder is made when writing files with CreateStoredDirs. Its permissions (a
    // Unix writer's, in the high half of attributes) and date are given when the run ends, deepest folder
    // first, so that writing its contents neither is refused by them nor changes the date.
    void CreateStoredDirectory(const std::string& stored_name, std::uint32_t attributes = 0,
                               std::uint32_t dos_date_time = 0,
                               const std::optional<TPreciseTime>& mod_time = std::nullopt);

    // Set while the archive is read from a stream that cannot go back (ExtractFrom).
    bool ReadOnce = false;

    // The current entry's output (null while testing).
    std::unique_ptr<TStream32> Output;
    // Set by an OnEnd handler to keep the output of an entry that failed its check, where no file bears
    // its name (an older file is never replaced by one).
    bool KeepFailedOutput = false;
    // The extraction folder with the folders below it this operation has verified.
    platform::TOutputTree OutputTree;

private:
    // A folder entry's permissions and date, given when the run ends.
    struct TFolderFinish {
        std::string Path;
        std::optional<std::uint32_t> UnixMode;
        timespec Time;
    };

    // Creates the folder of an output file: below the destination through OutputTree, which refuses steps
    // that are not real folders; elsewhere (a renamed output) as the rename asked.
    bool MakeOutputFolder(const std::string& folder);
    // OnEnd with the verdict, or "File fails CRC check" without it.
    bool TellCheck(bool pass);
    // The time an output gets, by DateAttribute.
    timespec OutputTime(std::uint32_t dos_date_time, const std::optional<TPreciseTime>& mod_time) const;
    // Gives the folders of the run their permissions and dates, deepest first.
    void FinishFolders();
    int RunOperation(TOutputMode mode, TStream32* source = nullptr);

    // The current entry's file or link until it passed its check.
    platform::TPendingOutput pending_;
    // Whether Output collects a link's target rather than writing a file.
    bool output_is_link_ = false;
    std::vector<TFolderFinish> folders_;
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
