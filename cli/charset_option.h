#pragma once

#include <string>

#include "facade/kv_comp.h"

namespace CLI {
class App;
}

namespace kv::cli {

// `--charset NAME` of the commands that read stored names: the code page of names the archive does not
// declare as UTF-8 (any name iconv knows, e.g. CP866, CP932, ISO-8859-2).
void AddCharsetOption(CLI::App& command, std::string& charset);
// Hands the chosen code page to the facade before it opens the archive; false, said on standard error,
// when iconv does not know it.
bool UseCharset(facade::TkvComp& comp, const std::string& charset);

}  // namespace kv::cli
