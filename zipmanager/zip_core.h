#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/entry_enums.h"
#include "engine/core/stream32.h"
#include "outside/zip_engine_records.h"
#include "platform/drive_info.h"
#include "platform/replace_file.h"
#include "zipmanager/shield_string_list.h"
#include "zipmanager/zip_base.h"
#include "zipmanager/zip_dir_entry.h"
#include "zipmanager/zip_end_record.h"
#include "zipmanager/zip_job.h"
#include "zipmanager/zip_enums.h"
#include "zipmanager/zip_lib_loader.h"
#include "zipmanager/zip_rename_rec.h"

namespace kv {

// The ZIP manager's core: the settings every operation reads, the in-memory copy of the archive's
// directory and the facts about the archive file.
class TZipCore : public TZipBase {
public:
    TZipCore();
    ~TZipCore() override;

    void SetCancel(bool value) override;
    void BeginBusy() override;
    void EndBusy() override;

    // --- directory ---
    // Rebuilds DirEntries, ArchiveComment and ArchiveStart from ZipFileName; returns ErrCode. While not
    // active it only remembers that a reading is due.
    int List();
    const std::vector<ZipDirEntry>& DirEntries() const { return dir_entries_; }
    int EntryCount() const { return ZipFileName.empty() ? 0 : static_cast<int>(dir_entries_.size()); }
    const std::string& ArchiveComment() const { return archive_comment_; }
    // Rewrites the comment in place (or remembers it while not active).
    void SetArchiveComment(const std::string& comment);
    std::int64_t ArchiveStart() const { return archive_start_; }
    bool OffsetMismatch() const { return offset_mismatch_; }
    bool Spanned() const { return spanned_; }
    int DroppedDirEntries() const { return dropped_dirs_; }

    // Activation: turning active runs a remembered List, then a remembered comment write.
    bool Active() const { return active_; }
    void SetActive(bool active);

    // --- operations (each returns ErrCode unless said otherwise) ---
    // Adds, freshens, updates or moves the files of FSpecArgs through the zip engine.
    int Add();
    // Deletes the entries FSpecArgs names through the zip engine.
    int Delete();
    // Extracts (or with ExtrTest tests) the entries FSpecArgs names through the unzip engine; empties
    // FSpecArgs.
    int Extract();
    // Renames entries (and with a non-zero `date_time` redates every entry) by copying the archive;
    // 0, or -7 (wildcard or archive error), -8 (out of memory), -9 (other failure), -10 (a file renamed to
    // a folder name).
    int Rename(const std::vector<ZipRenameRec>& renames, std::uint32_t date_time);
    // The number of files the last job processed.
    int SuccessCount() const { return success_count_; }

    // Answers the engine libraries' requests while a job runs; the record's Caller is the core.
    static std::int32_t EngineCallback(ZipCallbackRecord* record);

    // Whether a guarded property or a locked list was touched during the last busy bracket.
    bool ReEntry = false;
    void MarkReEntry();

    // --- settings (the component's published properties) ---
    std::string ZipFileName;
    std::string Password;
    int AddCompLevel = 9;
    AddOpts AddOptions;
    double AddFrom = 0;
    std::string ExtrBaseDir;
    ExtrOpts ExtrOptions;
    TShieldStringList FSpecArgs;
    TShieldStringList FSpecArgsExcl;
    CodePageOpts CodePage = cpAuto;
    // The OEM code page names are converted from (iconv's name, or a number such as "866"); empty means the
    // program's OEM code page.
    std::string OemCodePage;
    DeleteOpts HowToDelete = htdAllowUndo;
    AddStoreExts AddStoreSuffixes = DefaultAddStoreSuffixes();
    std::string ExtAddStoreSuffixes;
    std::uint32_t PasswordReqCount = 1;
    bool UseDirOnlyEntries = false;
    std::string RootDir;
    SpanOpts SpanOptions;
    bool ConfirmErase = true;
    std::uint32_t KeepFreeOnDisk1 = 0;
    std::uint32_t KeepFreeOnAllDisks = 0;
    std::int32_t MaxVolumeSize = 0;
    std::int32_t MinFreeVolumeSize = 65536;
    // The cipher AddEncrypt writes: the classic ZIP cipher (emZip_V2) or WinZip AES.
    TEncryptionMethod AddEncryptMethod = emZip_V2;
    // The file-system calls that put a renamed archive in place (tests make them fail).
    platform::TFileOps FileOps;

    // Answers the drive question (removable or not, label); the system's query unless a test replaces it.
    std::function<platform::DriveInfo(const std::string& path)> QueryDrive;

private:
    // --- engine jobs ---
    void FillZipCommand(TZipJobRecord& job, const std::string& target, AddOpts options);
    void FillUnzipCommand(TUnzipJobRecord& job, const std::string& archive);
    // Loads an engine library for the operation; a failure is reported and gives false.
    bool LoadEngine(TZipLibLoader& engine);
    // Runs a prepared job on the zip or unzip engine.
    template <typename Engine, typename JobRecord>
    int RunJob(Engine& engine, JobRecord& job);
    // Runs `job`; an error it raises is reported (with the saved handler failure appended), the fatal
    // message `fatal_id` stands for anything else, and both give 0.
    int ReportJobErrors(int fatal_id, const std::function<int()>& job);
    int AddJob(const std::vector<std::string>& lines, AddOpts options);
    int DeleteJob();
    void ExtractJob();
    // Engine requests.
    void ServeRequest(ZipCallbackRecord& record);
    void ServeAddName(ZipCallbackRecord& record, const std::string& text);
    void ServePassword(ZipCallbackRecord& record, const std::string& text);
    void ServeFileComment(ZipCallbackRecord& record, const std::string& text);
    void ServeExtraField(ZipCallbackRecord& record, const std::string& text);
    void ServeExtractName(ZipCallbackRecord& record, const std::string& text);
    // Rename steps.
    void RenameEntries(const std::vector<ZipRenameRec>& renames, std::uint32_t date_time, const std::string& temp);
    void PutRenamedArchive(const std::string& temp);

    enum class TLocateResult { Found, NotFoundQuietly };

    // Finds the archive file (the last volume of a spanned set when ZipFileName names its base) and its
    // end record; leaves it open in input_. Raises EZipManager on errors.
    TLocateResult LocateArchive(bool quiet);
    // Opens `file_name` and reads its end record into end_; false when there is none (strict raises).
    bool ReadEndRecord(const std::string& file_name, bool strict);
    [[noreturn]] void RaiseMissingEndRecord(const std::string& file_name);
    // Opens volume `disk` of the set being read, asking for the disk where that is needed.
    void ChangeReadDisk(int disk);
    // Asks for a disk while a set is read (nothing on a fixed drive); a refusal raises 11007.
    void AskForDisk();
    void ReadCentralDirectory();
    void AddEntry(ZipDirEntry&& entry, int seq_no);
    void WriteComment(const std::string& comment);
    void CloseInput() { input_.reset(); }
    // Names and comments as stored to the program's text: declared UTF-8 as such, else in the code page
    // the user chose (CodePage), else by the host that wrote them.
    std::string StoredToText(std::string_view stored, std::uint8_t host, bool utf8) const;
    // The reverse for names and comments the component writes: OEM where the reading takes them as OEM.
    std::string TextToStored(const std::string& text, std::uint8_t host) const;
    // The code page CodePage chooses for every name; empty when each entry's host decides.
    std::string ChosenCodePage() const;

    bool active_ = true;
    bool list_pending_ = false;
    bool comment_pending_ = false;
    std::string pending_comment_;

    std::vector<ZipDirEntry> dir_entries_;
    std::string archive_comment_;
    std::string raw_comment_;
    std::int64_t archive_start_ = 0;
    bool offset_mismatch_ = false;
    std::int64_t central_offset_ = 0;  // where the directory was read: computed, or stored on another disk
    int dropped_dirs_ = 0;

    TZipEndRecord end_;
    std::unique_ptr<TFileStream32> input_;
    std::string real_file_name_;  // the volume being read; differs from ZipFileName for spanned sets
    bool numbered_name_ = false;  // real_file_name_ carries a volume number ("a003.zip")
    std::string drive_root_;
    bool fixed_drive_ = true;
    std::string volume_label_;
    bool spanned_ = false;
    bool first_volume_ = false;
    int current_disk_ = 0;
    int total_disks_ = 0;
    std::uint8_t comment_host_ = 0;

    std::unique_ptr<TZipEng> zip_eng_;
    std::unique_ptr<TUnzEng> unz_eng_;
    bool zip_running_ = false;
    bool unzip_running_ = false;
    int success_count_ = 0;
    std::string extra_answer_;  // a long extra field handed back to the library; lives for the job
};

}  // namespace kv
