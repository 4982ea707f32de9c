#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/arc_detect.h"
#include "engine/core/arc_type.h"
#include "engine/core/disk_manager.h"
#include "engine/core/entry_enums.h"
#include "engine/core/entry_record.h"
#include "engine/core/events.h"
#include "engine/core/kv_object.h"
#include "engine/core/oem_names.h"
#include "engine/core/stream32.h"
#include "engine/core/zip_cipher.h"
#include "engine/core/zip_timer.h"

namespace kv {

// Where an operation's decoded data goes.
enum class TOutputMode { omFiles, omAppend, omNowhere };

// Selects the checksum a block primitive updates.
inline constexpr int kCrc16 = 16;
inline constexpr int kCrc32 = 32;
inline constexpr int kNoCrc = 0;

// The base of every engine object: the archive and its detected type, the selection lists, the
// destination and temporary folders, the events, the cancel flag, the timer, the block primitives with
// their checksum and cipher hooks, and the error routine.
class TZipCommon : public TObject {
public:
    TZipCommon();
    ~TZipCommon() override;

    // --- archive and detection ---
    const std::string& ArchiveFile() const { return archive_file_; }
    // Stores the name and runs detection; a missing file clears the name and gives atNA.
    virtual void SetArchiveFile(const std::string& name);
    TArcType ArcType() const { return detection_.ArcType; }
    // The value written is ignored: detection runs again on the stored file (atFileOpenErr when it
    // cannot be opened).
    virtual void SetArcType(TArcType value);
    // Runs detection on an open stream.
    TArcType GetArcType(TStream32& stream);
    std::string_view GetArcTypeName() const { return ArcTypeDisplayName(detection_.ArcType); }
    const TArcDetection& Detection() const { return detection_; }
    // Receives the ZIP archive comment during detection when attached.
    TArchiveCommentSink* CommentSink = nullptr;

    // --- folders ---
    const std::string& ExtractDir() const { return extract_dir_; }
    // Stored with a trailing delimiter; empty takes the archive's folder.
    void SetExtractDir(const std::string& dir);
    // The stored folder when it exists, else the system temporary folder.
    std::string TempDir();
    // Empty means the system temporary folder; a missing folder is created after a confirmation.
    void SetTempDir(const std::string& dir);
    // Asks "Directory does not exist... Create?" (behind the folder's name) when a missing temporary
    // folder is set; unassigned means No.
    std::function<bool(const std::string& question)> OnConfirmCreateDir;

    // A stored name as text in the program's form, decoded as the archive's settings and `origin` say.
    std::string ConvertName(std::string_view stored, TNameOrigin origin = TNameOrigin::noDos) const {
        return ConvertStoredName(stored, TranslateOemChar, origin, NameCodePage);
    }

    // --- properties ---
    std::vector<std::string> FileSpec;
    std::vector<std::string> ExcludeSpec;
    std::vector<std::string> Passwords;
    bool RecurseDirs = true;
    bool UseStoredDirs = true;
    bool CreateStoredDirs = false;
    bool ConfirmOverwrites = false;
    TOverwriteMode OverwriteMode = omOverwrite;
    bool RestoreFileAttr = true;
    // Whether restored Unix permissions keep set-user-id, set-group-id and sticky.
    bool KeepSpecialBits = false;
    TDateAttribute DateAttribute = daFileDate;
    bool AsciiTranslation = false;
    bool TranslateOemChar = true;
    // The code page the user chose for this archive's names (any name iconv knows); empty decides per entry.
    std::string NameCodePage;
    std::string Password;
    int PasswordAttempts = 3;
    TSeedKeys SeedDataKeys{TSeedKind::skData};
    TSeedKeys SeedHeaderKeys{TSeedKind::skHeader};
    TCpuType CpuType = cptAuto;
    TArcFileAttributes Attributes{fsZeroAttr, fsReadOnly, fsArchive, fsCompressed, fsEncrypted};
    TArcFileAttributes AttributesEx;
    TStoredDirNames StoredDirNames = sdRelative;
    TCompressionMethod CompressionMethod = cmTempFile;
    bool IncludeHiddenDirs = false;
    TDeleteOptions DeleteOptions = doAllowUndo;
    TEncryptionMethod EncryptionMethod = emNone;
    int ZipCmntBufSize = 32 * 1024;

    // --- events ---
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TOnError OnError;
    TOnElapsedTime OnElapsedTime;
    TOnLimitedUser OnLimitedUser;
    TOnProgress OnProgress;
    TOnNextVolume OnNextVolume;
    TOnDiskError OnDiskInDrvErr;
    TOnDiskError OnDiskWriteProtectErr;
    // Lets the user interface process pending messages before each progress report.
    std::function<void()> ProcessMessages;

    // --- errors, cancellation, progress ---
    virtual void DoError(const std::string& FileName, const std::string& ExtendedMsg, const std::string& VolumeID,
                         int ECode);
    // DoError, then raises E_RAISE with the code's text unless the operation was cancelled.
    void RaiseFatal(const std::string& FileName, int ECode, const std::string& VolumeID,
                    const std::string& ExtendedMsg = {});
    virtual bool GetCancel() const { return *cancel_; }
    // Setting it reports "User canceled" for the current entry.
    virtual void SetCancel(bool value);
    // The flag itself, for whoever shares it.
    bool* CancelFlag() { return cancel_.get(); }
    void ReportProgress(std::int64_t archive_total, std::int64_t file_total, std::int64_t file_done);
    std::uint8_t ByFile() const { return by_file_; }
    std::uint8_t ByArchive() const { return by_archive_; }

    // --- block primitives ---
    // Reads up to count bytes (a read error counts as none), deciphers them when asked and the type is
    // cipher-capable, and updates the checksum selected by crc_kind.
    virtual std::int64_t ReadBlock(TStream32& stream, std::int64_t count, int crc_kind, bool decipher,
                                   std::uint8_t* buffer);
    // Sends a block to the current output (nothing in test mode), with the line-end translation and the
    // checksum; a full disk (or quota) raises E_RAISE after reporting "Disk full"; any other failed write
    // fails the current entry only.
    virtual std::int64_t WriteBlock(TStream32* output, std::uint8_t* buffer, bool to_output, std::int64_t count,
                                    int crc_kind, bool enciphered);
    // The writers' variant: enciphers byte by byte with the data keys first when asked.
    virtual std::int64_t WriteBlockByteCipher(TStream32* output, std::uint8_t* buffer, bool to_output,
                                              std::int64_t count, int crc_kind, bool encipher);
    // Copies a stored entry's packed bytes in chunks of at most 32 768; returns the bytes not copied.
    std::int64_t CopyStored(TStream32& archive, TStream32* output, const TEntryRecord& entry, int crc_kind);
    // Takes a skipped entry's size off the bytes still to process.
    void SkipEntry(const TEntryRecord& entry);

    virtual TDateTime DosDateTimeToDateTime(std::uint32_t value) const;
    virtual std::string GetNextVolumeName(const std::string& name, int n) const;
    virtual bool IsZipWritableType(TArcType type) const { return kv::IsZipWritableType(type); }
    // Turns a stored entry name into the output path; the readers' pipeline refines it.
    virtual void SetOutputName(const std::string& stored_name);

    // Drive checks for archives on removable media.
    TDiskManager DiskManager;

    // The checksum accumulators of the running operation.
    std::uint32_t Crc32Value = 0xFFFFFFFFu;
    std::uint16_t Crc16Value = 0;

protected:
    // Operation state: reset at the start of each operation.
    TOutputMode OutputMode = TOutputMode::omFiles;
    int ProcessedCount = 0;
    std::int64_t TotalPackedSize = 0;
    std::int64_t TotalUnpackedSize = 0;
    std::int64_t BytesToProcess = 0;
    std::int64_t ArchiveTotalBytes = 0;  // what BytesToProcess started from
    TDateTime NewestFileDate = 0;
    std::string CurrentStoredName;
    std::string CurrentOutputPath;
    std::string CurrentVolumeName;
    TZipTimer Timer;
    // Set when the current entry's output failed (reported once); the pipeline clears it for each entry,
    // and the entry fails.
    bool OutputFailed = false;

    // The archive being read by the running operation.
    std::unique_ptr<TFileStream32> ArchiveStream;
    bool OpenArchiveStream(const std::string& name);

    // Moves on to the next volume of a multi-volume archive; false when there is none or the user
    // cancelled. A format that names its next volume itself (a cabinet's header) proposes that name;
    // otherwise it comes from GetNextVolumeName.
    bool ChangeReadVolume(const std::string& proposed = {});
    // Whether files can be written into ExtractDir; runs the limited-user protocol when not.
    bool CheckWritableDestination();
    // Reports a required event that is not assigned.
    void ReportMissingEvent(const char* event_name);
    // Clears counters, names and the cancel flag for a new operation.
    void ResetOperationState();

    void SetVolumeNumber(int n) { detection_.VolumeNumber = n; }
    // What an operation learns about the archive beyond detection (a spanned set, a type that proved
    // unusable) is kept with the detection state.
    TArcDetection& MutableDetection() { return detection_; }
    // Puts the operation's archive name back after volume changes replaced it (no new detection).
    void RestoreArchiveFile(const std::string& name) { archive_file_ = name; }

private:
    void Detect(TStream32& stream);
    void UpdateChecksum(int crc_kind, const std::uint8_t* buffer, std::int64_t size);
    // Writes every line feed not preceded by a carriage return as CR LF, also across block borders.
    std::vector<std::uint8_t> TranslateLineEnds(const std::uint8_t* buffer, std::int64_t count);
    // Runs detection on the stored name; false when the file cannot be opened.
    bool DetectStoredFile();

    std::string archive_file_;
    std::string extract_dir_;
    std::string temp_dir_;
    TArcDetection detection_;
    std::shared_ptr<bool> cancel_ = std::make_shared<bool>(false);
    std::uint8_t by_file_ = 0;
    std::uint8_t by_archive_ = 0;
    bool last_written_was_cr_ = false;  // line-end translation across block borders
    std::vector<std::uint8_t> copy_buffer_;  // CopyStored's
};

}  // namespace kv
