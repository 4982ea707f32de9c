#include <CLI/CLI.hpp>

#include "cli/extract_command.h"
#include "cli/info_command.h"
#include "cli/list_command.h"

int main(int argc, char** argv) {
    CLI::App app{"kv - the Kavrel archive manager on the command line"};
    app.require_subcommand(1);
    kv::cli::InfoOptions info_options;
    CLI::App* info = kv::cli::AddInfoCommand(app, info_options);
    kv::cli::ListOptions list_options;
    CLI::App* list = kv::cli::AddListCommand(app, list_options);
    kv::cli::ExtractOptions test_options;
    CLI::App* test = kv::cli::AddExtractCommand(app, test_options, kv::cli::TExtractKind::Test);
    kv::cli::ExtractOptions extract_options;
    CLI::App* extract = kv::cli::AddExtractCommand(app, extract_options, kv::cli::TExtractKind::WithPaths);
    kv::cli::ExtractOptions flat_options;
    CLI::App* flat = kv::cli::AddExtractCommand(app, flat_options, kv::cli::TExtractKind::Flat);
    CLI11_PARSE(app, argc, argv);
    if (info->parsed()) return kv::cli::RunInfoCommand(info_options);
    if (list->parsed()) return kv::cli::RunListCommand(list_options);
    if (test->parsed()) return kv::cli::RunExtractCommand(test_options, kv::cli::TExtractKind::Test);
    if (extract->parsed()) return kv::cli::RunExtractCommand(extract_options, kv::cli::TExtractKind::WithPaths);
    if (flat->parsed()) return kv::cli::RunExtractCommand(flat_options, kv::cli::TExtractKind::Flat);
    return 0;
}
