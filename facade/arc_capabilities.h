#pragma once

#include <string_view>

#include "engine/core/arc_type.h"

namespace kv::facade {

// What the program can do with an archive of a given type.
struct TArcCapabilities {
    bool Compressable = false;    // entries can be added and deleted
    bool Decompressable = false;  // entries can be extracted
    bool SFX = false;             // a self-extracting program
    bool Spannable = false;       // may be written over several volumes
};

TArcCapabilities CapabilitiesOf(TArcType type);

// Whether entries can be added to and deleted from an archive of the type: the engine's writable types,
// and TAR.GZ, which detection never gives (it finds GZIP) but the TAR writer writes.
bool IsWritableType(TArcType type);

// True for an entry in the archive's root that is a setup program ("setup.exe", "install.bat", ...):
// such an archive can be installed.
bool IsSetupProgramName(std::string_view name);

}  // namespace kv::facade
