#include "cli/delete_command.h"

#include <CLI/CLI.hpp>

#include "cli/facade_run.h"
#include "engine/core/error_codes.h"

namespace kv::cli {

CLI::App* AddDeleteCommand(CLI::App& app, DeleteOptions& options) {
    CLI::App* del = app.add_subcommand("d", "Delete the entries matching the masks from an archive");
    del->add_option("archive", options.archive, "The archive")->required();
    del->add_option("masks", options.masks, "Entries to delete (masks with * and ?)")->required();
    del->footer("Example: kv d backup.zip '*.tmp' 'logs/*'");
    return del;
}

int RunDeleteCommand(const DeleteOptions& options) {
    TFacadeRun run(options.archive, {.entry_subjects = false});
    if (!run.Open(TFacadeRun::TPurpose::Changing)) return 2;
    facade::TkvComp& comp = run.Comp();
    // The facade leaves a type it cannot write alone without a word.
    if (!comp.IsArcCompressable()) {
        run.Fail(ecode::kUnsupportedArcTypeOperation);
        return 2;
    }
    comp.ActionMode = facade::amCustom;
    comp.FileSpec = options.masks;
    comp.Delete();
    run.EndProgressLine();
    return run.ChangeStatus();
}

}  // namespace kv::cli
