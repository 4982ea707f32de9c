#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kv::cli {

struct DeleteOptions {
    std::string archive;
    std::vector<std::string> masks;
};

// `kv d ARCHIVE MASK...`: deletes the matching entries. Exit status 0 when no error was reported, 1
// otherwise, 2 when the archive cannot be read or its type cannot be written.
CLI::App* AddDeleteCommand(CLI::App& app, DeleteOptions& options);
int RunDeleteCommand(const DeleteOptions& options);

}  // namespace kv::cli
