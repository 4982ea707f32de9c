#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kv::cli {

enum class TExtractKind { Test, WithPaths, Flat };

struct ExtractOptions {
    std::string archive;
    std::string out_dir;
    std::vector<std::string> masks;
    std::string password;
    std::string charset;
    bool overwrite_all = false;
    bool skip_existing = false;
    bool keep_special_bits = false;
    bool json = false;
};

// `kv t ARCHIVE [MASK...]`: decodes every entry and checks it; `kv x` extracts with the stored folders,
// `kv e` without them. Exit status 0 when every entry passed, 1 when some failed or were skipped, 2 when
// the archive could not be read at all.
CLI::App* AddExtractCommand(CLI::App& app, ExtractOptions& options, TExtractKind kind);
int RunExtractCommand(const ExtractOptions& options, TExtractKind kind);

}  // namespace kv::cli
