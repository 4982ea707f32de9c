#include <CLI/CLI.hpp>

#include "cli/info_command.h"
#include "cli/list_command.h"

int main(int argc, char** argv) {
    CLI::App app{"kv - the Kavrel archive manager on the command line"};
    app.require_subcommand(1);
    kv::cli::InfoOptions info_options;
    CLI::App* info = kv::cli::AddInfoCommand(app, info_options);
    kv::cli::ListOptions list_options;
    CLI::App* list = kv::cli::AddListCommand(app, list_options);
    CLI11_PARSE(app, argc, argv);
    if (info->parsed()) return kv::cli::RunInfoCommand(info_options);
    if (list->parsed()) return kv::cli::RunListCommand(list_options);
    return 0;
}
