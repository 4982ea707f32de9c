#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kv::cli {

struct ListOptions {
    std::string archive;
    std::vector<std::string> masks;
    std::string charset;
    bool json = false;
};

// `kv l ARCHIVE [MASK...]`: the entries of an archive with their sizes, dates, methods and CRCs.
CLI::App* AddListCommand(CLI::App& app, ListOptions& options);
int RunListCommand(const ListOptions& options);

}  // namespace kv::cli
