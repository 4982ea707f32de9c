#include "engine/core/method_names.h"

#include <algorithm>

#include "platform/paths.h"

namespace kv {
namespace {

constexpr std::string_view kUnsupported = "Unsupported";
constexpr std::string_view kDir = "<Dir>";
constexpr std::uint32_t kDirectoryBit = 0x10;

const std::string_view* Find(std::span<const TMethodName> table, int code) {
    const auto it = std::find_if(table.begin(), table.end(), [code](const TMethodName& m) { return m.Code == code; });
    return it == table.end() ? nullptr : &it->Name;
}

std::string NameOr(std::span<const TMethodName> table, int code, std::string_view otherwise = kUnsupported) {
    const std::string_view* name = Find(table, code);
    return std::string(name ? *name : otherwise);
}

// Only the exact flag values 0, 2, 4 and 6 choose a level; anything else (an enciphered entry, say)
// is shown as normal.
std::string DeflateNameByFlags(std::uint16_t flags, std::string_view prefix) {
    std::string_view level = "N";
    switch (flags) {
        case 2: level = "X"; break;
        case 4: level = "F"; break;
        case 6: level = "S"; break;
        default: break;
    }
    return std::string(prefix).append(level);
}

bool HasEmptyFilePart(std::string_view name) {
    return name.empty() || name.back() == '/' || name.back() == '\\' || name.back() == platform::kPathDelim;
}

}  // namespace

std::string NameFromMethodTable(std::span<const TMethodName> table, int method, std::uint16_t, std::uint32_t,
                                const TMethodNameExtras&) {
    return NameOr(table, method);
}

std::string NameArjMethod(std::span<const TMethodName> table, int method, std::uint16_t, std::uint32_t,
                          const TMethodNameExtras& extras) {
    // ARJ stores folders with method 0, so the file type has to win.
    if (extras.ArjFileType == 3) return std::string(kDir);
    return NameOr(table, method);
}

std::string NameBhMethod(std::span<const TMethodName> table, int method, std::uint16_t flags, std::uint32_t,
                         const TMethodNameExtras&) {
    return method == 8 ? DeflateNameByFlags(flags, "DFLT-") : NameOr(table, method);
}

std::string NameCabMethod(std::span<const TMethodName> table, int method, std::uint16_t, std::uint32_t,
                          const TMethodNameExtras&) {
    if (const std::string_view* name = Find(table, method & 0x0F)) return std::string(*name);
    if (method >= 4 && method <= 20) return "Lzx" + std::to_string(method);
    return std::string(kUnsupported);
}

std::string NameGZipMethod(std::span<const TMethodName> table, int method, std::uint16_t, std::uint32_t,
                           const TMethodNameExtras& extras) {
    if (const std::string_view* name = Find(table, method)) return std::string(*name);
    if (extras.Magic == std::array<std::uint8_t, 2>{0x1F, 0x1E}) return "PackMAGIC";
    if (extras.Magic == std::array<std::uint8_t, 2>{0x1F, 0xA0}) return "LzhMAGIC";
    return std::string(kUnsupported);
}

std::string NameRarMethod(std::span<const TMethodName> table, int method, std::uint16_t, std::uint32_t attributes,
                          const TMethodNameExtras&) {
    return (attributes & kDirectoryBit) ? std::string(kDir) : NameOr(table, method);
}

std::string NameTarMethod(std::span<const TMethodName> table, int method, std::uint16_t, std::uint32_t,
                          const TMethodNameExtras& extras) {
    if (const std::string_view* name = Find(table, method)) return std::string(*name);
    return std::string(HasEmptyFilePart(extras.FileName) ? kDir : kUnsupported);
}

std::string NameZipMethod(std::span<const TMethodName> table, int method, std::uint16_t flags,
                          std::uint32_t attributes, const TMethodNameExtras& extras) {
    if (method == 8) return DeflateNameByFlags(flags, "DFLT-");
    if (method == 9) return DeflateNameByFlags(flags, "DFLT-64");
    if (method == 99) {
        // The AES field names the real method; a field that names 99 again has nothing to offer.
        if (extras.AesMethod < 0 || extras.AesMethod == 99) return std::string(kUnsupported);
        TMethodNameExtras inner = extras;
        inner.AesMethod = -1;
        return NameZipMethod(table, extras.AesMethod, flags, attributes, inner);
    }
    return NameOr(table, method, (attributes & kDirectoryBit) ? kDir : kUnsupported);
}

std::string GetCompressMethodName(TArcType type, int method, std::uint16_t flags, std::uint32_t attributes,
                                  const TMethodNameExtras& extras) {
    const TFormat& format = FormatOf(type);
    if (!format.NameMethod) return std::string(kUnsupported);
    return format.NameMethod(format.Methods, method, flags, attributes, extras);
}

}  // namespace kv
