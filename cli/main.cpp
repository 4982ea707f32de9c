#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#include "cli/add_command.h"
#include "cli/delete_command.h"
#include "cli/extract_command.h"
#include "cli/formats_command.h"
#include "cli/info_command.h"
#include "cli/list_command.h"
#include "platform/process_temp.h"

namespace {

// The exit status of a command line that does not fit the commands and options, as for a file that cannot
// be read: scripts test one value for "nothing was done".
constexpr int kUsageError = 2;

}  // namespace

int main(int argc, char** argv) {
    // Before any thread starts: every temporary file of the run goes below this folder, which an
    // interrupted run removes too.
    const kv::platform::TProcessTempFolder temp_folder;
    kv::platform::RemoveOnTerminationSignals(temp_folder.Path());

    CLI::App app{"kv - the Kavrel archive manager on the command line"};
    app.require_subcommand(1);
    app.footer("Examples:\n"
               "  kv l photos.zip                    list the entries\n"
               "  kv x photos.zip -o ~/photos        extract with the stored folders\n"
               "  kv a -r backup.zip src notes.txt   add files and folders (the archive is made when missing)\n"
               "  kv d backup.zip '*.tmp'            delete entries\n"
               "  kv COMMAND --help                  a command's options and an example");
    kv::cli::FormatsOptions formats_options;
    CLI::App* formats = kv::cli::AddFormatsCommand(app, formats_options);
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
    kv::cli::AddOptions add_options;
    CLI::App* add = kv::cli::AddAddCommand(app, add_options);
    kv::cli::DeleteOptions delete_options;
    CLI::App* del = kv::cli::AddDeleteCommand(app, delete_options);

    std::vector<std::string> args(argv, argv + argc);
    kv::cli::SpellLevelSwitch(args);
    std::vector<char*> arg_pointers;
    for (std::string& arg : args) arg_pointers.push_back(arg.data());
    try {
        app.parse(static_cast<int>(arg_pointers.size()), arg_pointers.data());
    } catch (const CLI::Success& help) {  // --help prints what was asked for
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        std::cerr << "kv: " << error.what() << " (kv --help describes the commands)\n";
        return kUsageError;
    }

    if (formats->parsed()) return kv::cli::RunFormatsCommand(formats_options);
    if (info->parsed()) return kv::cli::RunInfoCommand(info_options);
    if (list->parsed()) return kv::cli::RunListCommand(list_options);
    if (test->parsed()) return kv::cli::RunExtractCommand(test_options, kv::cli::TExtractKind::Test);
    if (extract->parsed()) return kv::cli::RunExtractCommand(extract_options, kv::cli::TExtractKind::WithPaths);
    if (flat->parsed()) return kv::cli::RunExtractCommand(flat_options, kv::cli::TExtractKind::Flat);
    if (add->parsed()) return kv::cli::RunAddCommand(add_options);
    if (del->parsed()) return kv::cli::RunDeleteCommand(delete_options);
    return 0;
}
