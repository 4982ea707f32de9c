#include "cli/extract_command.h"

#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/charset_option.h"
#include "cli/facade_run.h"
#include "cli/terminal.h"
#include "engine/core/error_codes.h"
#include "platform/paths.h"

namespace kv::cli {
namespace {

// The overwrite question on a terminal, or the answer the switches gave. The facade remembers the "all"
// and "none" answers for the rest of the run.
facade::TkvOverwriteMode AnswerOverwrite(const ExtractOptions& options, const std::string& path, TFacadeRun& run) {
    if (options.skip_existing) return facade::komSkipAll;
    if (!Interactive()) {
        std::cerr << "kv: " << path << " exists; skipped (-y overwrites, -n skips quietly)\n";
        run.NoteSkipped();
        return facade::komSkip;
    }
    for (;;) {
        switch (AskChoice("replace " + path + "? [y]es, [n]o, [A]ll, [N]one: ")) {
            case 'y': return facade::komOverwrite;
            case 'n': run.NoteSkipped(); return facade::komSkip;
            case 'A': return facade::komOverwriteAll;
            case 'N':
            case '\0': run.NoteSkipped(); return facade::komSkipAll;
            default: break;
        }
    }
}

const char* CommandName(TExtractKind kind) {
    switch (kind) {
        case TExtractKind::Test: return "t";
        case TExtractKind::WithPaths: return "x";
        case TExtractKind::Flat: return "e";
    }
    return "";
}

}  // namespace

CLI::App* AddExtractCommand(CLI::App& app, ExtractOptions& options, TExtractKind kind) {
    const char* description = kind == TExtractKind::Test        ? "Test: decode every entry and check it"
                              : kind == TExtractKind::WithPaths ? "Extract with the stored folders"
                                                                : "Extract without the stored folders";
    CLI::App* command = app.add_subcommand(CommandName(kind), description);
    command->add_option("archive", options.archive, "The archive")->required();
    command->add_option("masks", options.masks, "Only entries matching these masks (* and ?)");
    command->add_option("-p,--password", options.password, "Password of enciphered entries");
    AddCharsetOption(*command, options.charset);
    if (kind == TExtractKind::Test) {
        command->add_flag("--json", options.json, "One JSON object: archive and, per entry, name, ok, error and text");
    } else {
        command->add_option("-o,--output", options.out_dir, "Folder to extract into (default: the current folder)");
        CLI::Option* all = command->add_flag("-y,--overwrite", options.overwrite_all, "Overwrite existing files");
        command->add_flag("-n,--skip-existing", options.skip_existing, "Leave existing files alone")->excludes(all);
        command->add_flag("--keep-special-bits", options.keep_special_bits,
                          "Restore set-user-id, set-group-id and sticky bits the archive stores (left out otherwise)");
    }
    command->footer(kind == TExtractKind::Test        ? "Example: kv t --json photos.zip '*.jpg'"
                    : kind == TExtractKind::WithPaths ? "Example: kv x photos.zip -o ~/photos -y"
                                                      : "Example: kv e photos.zip '*.jpg' -o ~/flat -n");
    return command;
}

int RunExtractCommand(const ExtractOptions& options, TExtractKind kind) {
    TFacadeRun run(options.archive, {.keep_passed = options.json, .quiet = options.json, .entry_subjects = true});
    if (!UseCharset(run.Comp(), options.charset)) return 2;
    if (!run.Open(TFacadeRun::TPurpose::Reading)) return 2;
    facade::TkvComp& comp = run.Comp();
    comp.OnOverwrite = [&](TObject*, const facade::TArcEntry& on_disk, const facade::TArcEntry&,
                           facade::TkvOverwriteMode& mode) { mode = AnswerOverwrite(options, on_disk.FileName, run); };
    comp.ActionMode = facade::amCustom;
    comp.FileSpec = options.masks.empty() ? std::vector<std::string>{"*.*"} : options.masks;
    comp.ExtDir = options.out_dir.empty() ? platform::CurrentDirectory() : options.out_dir;
    if (kind == TExtractKind::WithPaths) comp.ExtOptions.Include(facade::eoDirNames);
    if (options.overwrite_all) comp.ExtOptions.Include(facade::eoOverWrite);
    if (options.keep_special_bits) comp.ExtOptions.Include(facade::eoKeepSpecialBits);
    comp.Password = options.password;
    const bool no_folder = kind == TExtractKind::Test ? comp.Test() : comp.Extract();
    run.EndProgressLine();
    if (no_folder) run.Fail(ecode::kInvalidDirectory, comp.ExtDir + ": " + std::string(LoadStr(ecode::kInvalidDirectory)));
    if (options.json) run.PrintJson();
    return no_folder ? 2 : run.ExtractStatus();
}

}  // namespace kv::cli
