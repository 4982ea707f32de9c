#include "facade/arc_capabilities.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "engine/core/packed_tar_types.h"
#include "platform/paths.h"

namespace kv::facade {
namespace {

constexpr TArcTypes kSelfExtractingTypes{atAceExe, atArcExe, atArjExe, atBhExe, atJarExe,
                                         atLhaExe, atLzhExe, atPakExe, atRarExe, atZipExe};
constexpr TArcTypes kSpannableTypes{atZip, atZipExe};
constexpr std::array<std::string_view, 4> kSetupPrograms{"setup.exe", "install.exe", "install.bat", "setup.bat"};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

bool IsWritableType(TArcType type) { return IsCompressableType(type) || IsPackedTarType(type); }

TArcCapabilities CapabilitiesOf(TArcType type) {
    return {IsCompressableType(type), IsDecompressableType(type), kSelfExtractingTypes.Contains(type),
            kSpannableTypes.Contains(type)};
}

bool IsSetupProgramName(std::string_view name) {
    if (name.find(platform::kPathDelim) != std::string_view::npos) return false;
    return std::any_of(kSetupPrograms.begin(), kSetupPrograms.end(),
                       [name](std::string_view program) { return EqualsIgnoringCase(name, program); });
}

}  // namespace kv::facade
