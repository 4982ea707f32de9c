#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/kv_object.h"
#include "facade/arc_entry.h"
#include "facade/facade_enums.h"
#include "facade/security_issue.h"

namespace kv::facade {

using TBeginEvent = std::function<void(TObject* Sender)>;
using TEndEvent = std::function<void(TObject* Sender)>;
using TProgressEvent =
    std::function<void(TObject* Sender, std::uint8_t ProgressByFile, std::uint8_t ProgressByArc, const std::string& Filename)>;
using TOverwriteEvent = std::function<void(TObject* Sender, const TArcEntry& FileOnDisk, const TArcEntry& FileInArc,
                                           TkvOverwriteMode& OverwriteMode)>;
using TkvPasswordEvent =
    std::function<void(TObject* Sender, const std::string& FileName, std::string& NewPassword, bool& Cancel)>;
using TkvNextVolumeEvent =
    std::function<void(TObject* Sender, int DiskSeqNo, int DiskTotal, const std::string& Drive, bool& Abort)>;
using TkvCRCErrorEvent = std::function<void(TObject* Sender, const std::string& Filename, std::uint32_t FoundCRC,
                                            std::uint32_t ExpectedCRC, bool& Cancel)>;
using TkvMessageEvent = std::function<void(TObject* Sender, int ErrorCode, const std::string& Message)>;
using TkvNotifyEvent = std::function<void(TObject* Sender)>;
using TkvSecurityIssueEvent = std::function<void(TObject* Sender, const TkvSecurityIssue& IssueType, bool& Cancel)>;

}  // namespace kv::facade
