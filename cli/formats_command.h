#pragma once

namespace CLI {
class App;
}

namespace kv::cli {

struct FormatsOptions {
    bool json = false;
};

// `kv formats`: every archive type this build knows and what it can do with each.
CLI::App* AddFormatsCommand(CLI::App& app, FormatsOptions& options);
int RunFormatsCommand(const FormatsOptions& options);

}  // namespace kv::cli
