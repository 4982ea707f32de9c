#include "facade/arc_capabilities.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "engine/core/formats.h"
#include "engine/writers/format_capabilities.h"
#include "platform/paths.h"

namespace kv::facade {
namespace {

constexpr std::array<std::string_view, 4> kSetupPrograms{"setup.exe", "install.exe", "install.bat", "setup.bat"};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

bool IsWritableType(TArcType type) { return IsCompressableType(type) || FormatOf(type).Has(ftWrittenOnly); }

TArcCapabilities CapabilitiesOf(TArcType type) {
    const TFormatCapabilities caps = CapabilitiesOfFormat(type);
    return {caps.Add, caps.Extract, caps.SelfExtracting, FormatOf(type).Has(ftSpannable)};
}

bool IsSetupProgramName(std::string_view name) {
    if (name.find(platform::kPathDelim) != std::string_view::npos) return false;
    return std::any_of(kSetupPrograms.begin(), kSetupPrograms.end(),
                       [name](std::string_view program) { return EqualsIgnoringCase(name, program); });
}

}  // namespace kv::facade
