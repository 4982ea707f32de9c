#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/file_scan.h"
#include "engine/core/temp_archive.h"
#include "engine/core/zip_common.h"
#include "engine/writers/compress_header_obj.h"
#include "engine/writers/stored_dir_names.h"

namespace kv {

// What a writer's run does with the files and entries it is given.
enum TSwitch { swAdd, swRefresh, swMove, swDelete, swRead };

// The compression framework: the writers' events and the hooks each format fills in.
class TCustomCClass : public TZipCommon {
public:
    TOnBegin OnBegin;
    TOnEnd OnEnd;
    TOnFileExists OnFileExists;
    TOnExcludeFile OnExcludeFile;
    TOnRecurseDir OnRecurseDir;
    TOnDeleteFile OnDeleteFile;
    TOnReplaceFile OnReplaceFile;
    TOnRenameDupeFile OnRenameDupeFile;
    TOnNonWriteableArchive OnNonWriteableArchive;
    TOnRead OnRead;
    TOnInsertDisk OnInsertDisk;
    TOnClearDisk OnClearDisk;
    TOnRemoveTempfile OnRemoveTempfile;
    TTempFileMoveBegin OnTmpFileMoveBegin;
    TNotifyEvent OnTmpFileMoveEnd;
    TOnProgress OnTmpFileProgress;
};

// The writers' base: one compression run per call. The run selects files on disk, merges them with the
// old archive's entries by the Switch, builds the result in a temporary archive and puts it in place of
// the old one only when it is complete: a failed or cancelled run leaves the archive as it was.
class TCompBase : public TCustomCClass {
public:
    TSwitch Switch = swAdd;
    bool StoreEmptySubDirs = false;
    // Symbolic links are stored as links unless this asks for what they lead to (see TArcFileScan).
    bool FollowLinks = false;
    TDeflateType DeflateType = dtDeflateN;
    // With swMove, a source file is deleted only when its name is found in the finished archive.
    bool VerifyBeforeDelete = false;
    // Hide the headers of new entries (see TZipArchiveWriter::EncipherHeaders).
    bool EncryptHeaders = false;
    // Extensions (with ".", any case) of files that are stored, not compressed.
    std::vector<std::string> StoreFilesOfType;
    // sdExplorer_UserDefineDefaultDir stores names relative to this directory.
    std::string DefaultDir;
    // Bytes to keep free on the first volume of removable media; this system writes no volumes.
    std::int64_t LeaveSpaceOnFirstDisk = 0;
    // The file-system calls of the final move (tests make them fail).
    platform::TFileOps TempFileOps;

    TCompressMethod CompressMethod() const { return compress_method_; }
    // A method the writer does not take is ignored and the previous one kept.
    virtual void SetCompressMethod(TCompressMethod value);

    // ".ext" given to an archive name without extension.
    const std::string& DefaultExt() const { return default_ext_; }
    // Gets a leading ".", is cut to 4 characters and lower-cased; empty or "." restores the writer's own.
    // An archive name without extension, or with the previous default, takes the new one.
    void SetDefaultExt(const std::string& value);

    // A missing file marks the archive new; the name gets DefaultExt when it has no extension.
    void SetArchiveFile(const std::string& name) override;
    bool IsNewArchive() const { return is_new_archive_; }

    // Runs the compression run; returns the number of entries added, renamed or deleted (0 on failure).
    virtual int Compress();

    // The run's header list (swRead leaves the old archive's entries in it).
    const TCompressHeaderObj& Headers() const { return headers_; }

protected:
    explicit TCompBase(TCompressMethod default_method);
    // The writer's own DefaultExt is set by its constructor through this.
    void InitDefaultExt(const std::string& base);

    // --- format hooks ---
    virtual bool AcceptsMethod(TCompressMethod method) const = 0;
    // The type of archive the writer makes.
    virtual TArcType WriterArcType() const = 0;
    // Puts the old archive's entries into the list (action 1). False when it is no archive of the format
    // or is damaged; the run reports it.
    virtual bool ReadArchive(TStream32& archive, TCompressHeaderObj& headers) = 0;
    // Starts the new archive in `out` (copying any stub of the old one). The list is final by now.
    virtual bool BeginArchive(TStream32& out, TStream32* old_archive, const TCompressHeaderObj& headers) = 0;
    enum class TItemOutcome { ioDone, ioFileFailed, ioArchiveFailed, ioCancelled };
    // Adds the file of list item `index` (action 0); reports its own errors.
    virtual TItemOutcome CompressItem(std::size_t index, const TCompressHeader& item) = 0;
    // A file the owner chose not to add.
    virtual void SkipItem(std::size_t /*index*/) {}
    // Copies an old entry (action 1, or 3 under its new stored name).
    virtual bool CopyItem(const TCompressHeader& item) = 0;
    // Ends the new archive (directory, end records); an archive of no entries is a valid empty one.
    virtual bool FinishArchive() = 0;
    // Frees what the format held for the run, also after a failure.
    virtual void EndRun() = 0;

    // The old archive as the format reads it (a compressed container hands over its unpacked contents);
    // an invalid handle when it cannot be opened.
    virtual std::unique_ptr<THandleStream32> OpenArchiveForReading(const std::string& name);

    // Counts bytes of the current file towards the progress; false when the run was cancelled.
    bool FileBytesDone(std::int64_t file_total, std::int64_t& file_done, std::int64_t bytes);
    // Moves the finished temporary archive over the archive file, with the move events; false (reported)
    // when it could not be put in place. A compressed container packs the new archive first.
    virtual bool PutInPlace(TTempArchive& temp);
    // The password new entries are enciphered with (empty: none).
    const std::string& EntryPassword() const { return entry_password_; }
    // Gives a scanner of files on disk the writer's selection: the lines, attributes, recursion, hidden
    // folders, the current directory as root, the cancel flag and the folder event.
    void SetUpScan(TArcFileScan& scan, const std::vector<std::string>& lines);

    TCompressMethod compress_method_;

private:
    int Run();
    bool CheckStoredDirNames();
    bool OpenOldArchive();
    void GatherFiles();
    void GatherDirect(const std::vector<std::string>& lines);
    void GatherByScan(const std::vector<std::string>& lines);
    // One file or folder found on disk (a folder path ends with "/").
    void Consider(const std::string& disk_path, const std::string& line_dir, const TFindRecord& found);
    void Decide(TCompressHeader file);
    bool AskRename(std::size_t old_index);
    void SelectForDelete();
    bool Process(TTempArchive& temp);
    bool ProcessNew(std::size_t index);
    void RemoveMovedFiles();

    std::string default_ext_;
    std::string base_default_ext_;
    bool is_new_archive_ = false;
    TCompressHeaderObj headers_;
    std::unique_ptr<THandleStream32> old_archive_;
    std::string entry_password_;
    std::string root_dir_;  // sdExplorer_Auto / sdExplorer_UserDefineDefaultDir
    std::vector<std::size_t> added_;  // items whose files went into the archive
    int deleted_ = 0;
    bool activated_ = false;  // OnActivate fired, OnDeactivate not yet
};

}  // namespace kv
