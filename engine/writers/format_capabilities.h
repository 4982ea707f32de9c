#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/core/arc_type.h"

namespace kv {

// What this build can do with an archive of a type: derived from the engines registered for it, so no
// capability is claimed that has no code behind it.
struct TFormatCapabilities {
    bool List = false;
    bool Extract = false;
    bool Test = false;
    bool Add = false;
    bool Delete = false;
    bool Convert = false;
    bool SelfExtracting = false;  // the type is a self-extracting program
    bool Volumes = false;         // archives of the type may lie on several volumes
    bool Encrypt = false;         // entries can be added enciphered
};

TFormatCapabilities CapabilitiesOfFormat(TArcType type);

// The extensions of every file this build can list, so open (lower-case, without the dot).
std::vector<std::string_view> OpenableExtensions();

// The distinct names of the type's methods, in the order of its method table.
std::vector<std::string> MethodNamesOf(TArcType type);

}  // namespace kv
