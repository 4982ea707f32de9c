#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/arc_type.h"
#include "engine/core/date_time.h"
#include "engine/core/enum_set.h"
#include "engine/core/kv_object.h"
#include "engine/core/zip_cipher.h"

namespace kv {

enum TOverwriteMode { omOverwrite, omSkip };

// The ZIP layout flags: bit n stands for the n-th value.
enum THeaderType : std::uint8_t { htLocal, htCentral, htEnding, htLocator, htEnding64, htSfx, htNone };

class THeaderTypeState : public TEnumSet<THeaderType, std::uint8_t> {
public:
    using TEnumSet::TEnumSet;
    // The flags verify nothing when they are empty or only say "executable".
    constexpr bool VerifiesNothing() const { return Bits() == 0 || Bits() == (1u << htSfx); }
};

// Event types: the documented parameter lists after `Sender`; `var` parameters are references.
using TNotifyEvent = std::function<void(TObject* Sender)>;
using TOnError = std::function<void(TObject* Sender, const std::string& FileName, const std::string& ExtendedMsg,
                                    const std::string& VolumeID, int ECode)>;
using TOnBegin = std::function<void(TObject* Sender, const std::string& FileName, int Count, bool& Extract)>;
using TOnEnd = std::function<void(TObject* Sender, const std::string& FileName, bool CRC_PASS)>;
using TOnProgress = std::function<void(TObject* Sender, std::uint8_t ByFile, std::uint8_t ByArchive)>;
using TOnElapsedTime = std::function<void(TObject* Sender, float ElapsedTime)>;
using TUnBase_OnFileExists = std::function<void(TObject* Sender, const std::string& FileName, std::string& NewFileName,
                                                TOverwriteMode& OverwriteMode)>;
using TOnFileExists = std::function<void(TObject* Sender, const std::string& FileName, TDateTime FileDate,
                                         TOverwriteMode& OverwriteMode)>;
using TOnRenameFile = std::function<void(TObject* Sender, const std::string& FileName, std::string& NewFileName)>;
using TOnGetPassword = std::function<void(TObject* Sender, const std::string& FileName, std::string& Password,
                                          TSeedKeyRecord& HeaderKeys, TSeedKeyRecord& DataKeys, bool& TryAgain)>;
using TOnExcludeFile = std::function<void(TObject* Sender, const std::string& FileName)>;
using TOnLimitedUser =
    std::function<void(TObject* Sender, const std::string& ProtectedDir, std::string& UserDir, bool& Cancel)>;
using TOnNextVolume = std::function<void(TObject* Sender, std::string& VolumeName, int VolumeID, bool FExists,
                                         bool& Cancel)>;
using TOnCorruptZipHeader = std::function<void(TObject* Sender, THeaderTypeState HeadFlag, bool& Cancel)>;
using TOnGetZipFirstDisk = std::function<void(TObject* Sender, bool& Cancel)>;
using TOnGetZipLastDisk = TOnGetZipFirstDisk;
using TOnGetZipNextDisk = std::function<void(TObject* Sender, const std::string& VolumeName, bool& Cancel)>;
using TOnInsertDisk = TOnGetZipNextDisk;
using TOnDiskError = std::function<void(TObject* Sender, bool& Abort)>;
using TOnChangeArchive = std::function<void(TObject* Sender, const std::string& ArchiveName, TArcType ArcType)>;
using TOnNestedTarFile = std::function<void(TObject* Sender, const std::string& FileName, bool& DoUnTar)>;
using TOnRead = std::function<void(TObject* Sender, int Offset, int Filenum)>;
using TOnReadFile = std::function<void(TObject* Sender, const std::string& FileName)>;
using TOnTotals = std::function<void(TObject* Sender, std::int64_t UnpackSize, std::int64_t PackSize, int Ratio,
                                     int NumFiles)>;
using TOnClearDisk = std::function<void(TObject* Sender, const std::string& Drive, std::int64_t RequiredSpace,
                                        std::int64_t FreeSpace, std::int64_t TotalSpace, bool& Cancel)>;
using TOnDeleteFile = std::function<void(TObject* Sender, const std::string& FileName, int Count, int MaxCount)>;
using TOnNonWriteableArchive = std::function<void(TObject* Sender, const std::string& ArchiveFile, bool& WriteToFile)>;
using TOnRecurseDir = std::function<void(TObject* Sender, const std::string& Directory)>;
using TOnRemoveTempfile = std::function<void(TObject* Sender, const std::string& FileName)>;
using TOnRenameDupeFile =
    std::function<void(TObject* Sender, const std::string& FileName, std::string& NewFileName, bool& Rename)>;
using TOnReplaceFile = std::function<void(TObject* Sender, const std::string& FileName, const std::string& NewFileName,
                                          TDateTime Date, TDateTime NewDate, std::int64_t FileSize,
                                          std::int64_t NewFileSize, int Attr, int NewAttr, bool& Replace)>;
using TTempFileMoveBegin =
    std::function<void(TObject* Sender, const std::string& Archive, const std::string& TempFileName, bool& Cancel)>;

}  // namespace kv
