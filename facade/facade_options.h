#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "facade/facade_enums.h"

namespace kv::facade {

// The self-extractor settings the facade hands to the ZIP manager.
struct TSFXOptions {
    std::string sfxCaption;
    std::string sfxCommandLine;
    std::string sfxDefaultDir;
    std::string sfxMessage;
    std::string sfxBinPath;  // only its folder is used
    std::vector<std::uint8_t> sfxIcon;  // the icon file's bytes
    TkvSFXOpts sfxOptions;
    TkvSFXOverwriteMode sfxOverwriteMode = somConfirm;
};

// How a spanned ZIP is written.
struct TSpanOptions {
    std::int64_t MaxVolumeSize = 0;  // bytes
    bool DeleteFiles = false;        // wipe a removable volume before writing to it
    bool VolumeNaming = false;       // write the volume label
};

}  // namespace kv::facade
