#pragma once

#include <string_view>

#include "engine/core/arc_type.h"

namespace kv::facade {

// What the program can do with an archive of a given type, as the engines registered for it allow.
struct TArcCapabilities {
    bool Compressable = false;    // entries can be added and deleted
    bool Decompressable = false;  // entries can be extracted
    bool SFX = false;             // a self-extracting program
    bool Spannable = false;       // may be written over several volumes
};

TArcCapabilities CapabilitiesOf(TArcType type);

// Whether the engine means to add to and delete from an archive of the type: its writable types, and TAR.GZ,
// which detection never gives (it finds GZIP) but the TAR writer writes. One of them that no writer serves
// yet is told as unsupported; the capabilities above say whether one does.
bool IsWritableType(TArcType type);

// True for an entry in the archive's root that is a setup program ("setup.exe", "install.bat", ...):
// such an archive can be installed.
bool IsSetupProgramName(std::string_view name);

}  // namespace kv::facade
