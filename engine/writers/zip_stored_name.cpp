#include "engine/writers/zip_stored_name.h"

#include <algorithm>

#include "engine/core/oem_names.h"

namespace kv {
namespace {

bool IsAscii(std::string_view name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

TZipStoredName MakeZipStoredName(std::string_view name, TZipNameEncoding encoding) {
    if (IsAscii(name)) return {std::string(name), false};
    if (encoding == TZipNameEncoding::znOem) {
        std::string oem = Utf8ToOem(name);
        // The code page holds the name only when it converts back unchanged.
        if (OemToUtf8(oem) == name) return {std::move(oem), false, true};
    }
    return {std::string(name), true};
}

}  // namespace kv
