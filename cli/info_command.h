#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kv::cli {

struct InfoOptions {
    std::vector<std::string> files;
    bool json = false;
};

// `kv i FILE...`: what detection says about each file.
CLI::App* AddInfoCommand(CLI::App& app, InfoOptions& options);
int RunInfoCommand(const InfoOptions& options);

}  // namespace kv::cli
