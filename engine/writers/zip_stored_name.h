#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

// How names are written. znOem: in the OEM code page when it holds every character, else UTF-8 with
// general-purpose bit 11. znUtf8: plain ASCII names as they are, every other name UTF-8 with bit 11 (a
// Linux name is UTF-8 already, and a flagged name reads back the same everywhere).
enum class TZipNameEncoding { znOem, znUtf8 };

struct TZipStoredName {
    std::string Bytes;
    bool Utf8 = false;  // general-purpose bit 11
    // The bytes are in the OEM code page (not plain ASCII). Readers decode such names by the host system:
    // the entry must say it was made on MS-DOS, or they take the bytes as the local character set.
    bool Oem = false;
};

// `name` is UTF-8 with "/" between folders.
TZipStoredName MakeZipStoredName(std::string_view name, TZipNameEncoding encoding);

}  // namespace kv
