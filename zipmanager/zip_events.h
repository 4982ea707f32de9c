#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/kv_object.h"
#include "zipmanager/prog_details.h"
#include "zipmanager/zip_dir_entry.h"
#include "zipmanager/zip_enums.h"

namespace kv {

// The ZIP manager's events: the documented parameter lists after `Sender`; `var` parameters are references.
using TZipNotifyEvent = std::function<void(TObject* Sender)>;
using TTotalProgressEvent = std::function<void(TObject* Sender, std::int64_t TotalSize, int PerCent)>;
using TItemProgressEvent =
    std::function<void(TObject* Sender, const std::string& Item, std::uint32_t TotalSize, int PerCent)>;
using TProgressDetailsEvent = std::function<void(TObject* Sender, const TProgressDetails& details)>;
using TProgressEvent =
    std::function<void(TObject* Sender, ProgressType ProgrType, const std::string& Filename, std::int64_t FileSize)>;
using TZipMessageEvent = std::function<void(TObject* Sender, int ErrCode, const std::string& Message)>;
using TSetNewNameEvent = std::function<void(TObject* Sender, std::string& OldFileName, bool& IsChanged)>;
using TNewNameEvent = std::function<void(TObject* Sender, int SeqNo, const ZipDirEntry& ZipEntry)>;
using TCRC32ErrorEvent = std::function<void(TObject* Sender, const std::string& ForFile, std::uint32_t FoundCRC,
                                            std::uint32_t ExpectedCRC, bool& DoExtract)>;
using TPasswordErrorEvent =
    std::function<void(TObject* Sender, bool IsZipAction, std::string& NewPassword, const std::string& ForFile,
                       std::uint32_t& RepeatCount, TPasswordButton& Action)>;
using TExtractOverwriteEvent = std::function<void(TObject* Sender, const std::string& ForFile, bool IsOlder,
                                                  bool& DoOverwrite, int DirIndex)>;
using TExtractSkippedEvent =
    std::function<void(TObject* Sender, const std::string& ForFile, UnZipSkipTypes SkipType, int ExtError)>;
using TCopyZipOverwriteEvent = std::function<void(TObject* Sender, const std::string& ForFile, bool& DoOverwrite)>;
using TFileCommentEvent =
    std::function<void(TObject* Sender, const std::string& ForFile, std::string& FileComment, bool& IsChanged)>;
using TFileExtraEvent =
    std::function<void(TObject* Sender, const std::string& ForFile, std::string& Data, bool& IsChanged)>;
using TAfterCallbackEvent = std::function<void(TObject* Sender, bool& abort)>;
using TSetAddNameEvent = std::function<void(TObject* Sender, std::string& FileName, const std::string& ExtName,
                                            bool& IsChanged)>;
using TSetExtNameEvent = std::function<void(TObject* Sender, std::string& FileName, bool& IsChanged)>;
using TGetNextDiskEvent = std::function<void(TObject* Sender, int DiskSeqNo, int DiskTotal, const std::string& Drive,
                                             bool& AbortAction)>;
using TStatusDiskEvent = std::function<void(TObject* Sender, int PreviousDisk, const std::string& PreviousFile,
                                            TZipDiskStatus Status, TZipDiskAction& Action)>;

}  // namespace kv
