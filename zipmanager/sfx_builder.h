#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/enum_set.h"
#include "zipmanager/zip_enums.h"

namespace kv {

enum TSFXOption {
    soAskCmdLine, soAskFiles, soHideOverWriteBox, soAutoRun, soNoSuccessMsg, soExpandVariables,
    soInitiallyHideFiles, soForceHideFiles, soCheckAutoRunFileName, soCanBeCancelled, soDetached,
};
using TSFXOptions = TEnumSet<TSFXOption, std::uint16_t>;
enum TSFXOverwriteMode { somOverwrite, somSkip, somAsk };

// The self-extractor builder's settings; its operations come with the self-extractor work. The texts may
// be longer than the 255 characters the settings block holds: building checks them and says which.
class TSfxBuilder {
public:
    std::string Caption;
    std::string CommandLine;
    std::string DefaultDir;
    std::string FallbackDir;  // only filled when settings are read back from an executable
    std::vector<std::uint8_t> Icon;  // the icon file's bytes
    TSFXOptions Options;
    TSFXOverwriteMode OverwriteMode = somAsk;
    std::string Language = "US";
    std::string StubPath = "QXSFXUS.BIN";
    DeleteOpts HowToDelete = htdAllowUndo;

    const std::string& Message() const { return message_; }
    // A leading character 1 asks for an OK/Cancel box (style 65), 2 for a Yes/No box (style 36).
    void SetMessage(const std::string& text);
    std::uint32_t MessageStyle() const { return message_style_; }

private:
    std::string message_;
    std::uint32_t message_style_ = 0;
};

}  // namespace kv
