#include "cli/charset_option.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace kv::cli {

void AddCharsetOption(CLI::App& command, std::string& charset) {
    command.add_option("--charset", charset,
                       "Code page of stored names not marked as UTF-8, e.g. CP437, CP850, CP866, CP932, CP936, "
                       "ISO-8859-2 (default: decided per archive and entry)");
}

bool UseCharset(facade::TkvComp& comp, const std::string& charset) {
    if (comp.SetNameCodePage(charset)) return true;
    std::cerr << "kv: --charset " << charset << ": unknown character set\n";
    return false;
}

}  // namespace kv::cli
