#include "cli/add_command.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>

#include "cli/archive_names.h"
#include "cli/facade_run.h"
#include "engine/core/error_codes.h"
#include "engine/core/formats.h"
#include "engine/core/text_case.h"
#include "platform/paths.h"

namespace kv::cli {
namespace {

int Refuse(const std::string& text) {
    std::cerr << "kv: " << text << '\n';
    return 2;
}

void SetCompression(facade::TkvComp& comp, int level) {
    comp.SimpleCompressionOptions = false;
    comp.ZipAddCompLevel = level;
    // The other writers know methods and deflate strengths rather than levels.
    comp.EngCompressMethod = FormatOf(comp.ArcType()).LevelMethod.value_or(level == 0 ? cmStore : cmDeflate);
    comp.EngDeflateType = level <= 3 ? dtDeflateF : level <= 7 ? dtDeflateN : dtDeflateX;
}

}  // namespace

CLI::App* AddAddCommand(CLI::App& app, AddOptions& options) {
    CLI::App* add = app.add_subcommand("a", "Add files to an archive (made when it does not exist)");
    add->add_option("archive", options.archive, "The archive")->required();
    add->add_option("files", options.files, "Files and folders to add")->required();
    add->add_option("-t,--type", options.type,
                    "Type of a new archive: zip, jar, tar, tgz, txz, tzst, gz, bz2, xz or zst (default: from the "
                    "extension). gz, bz2, xz and zst compress each file on its own, into FILE.gz, FILE.bz2, FILE.xz or "
                    "FILE.zst in the archive's folder");
    add->add_option("--mx", options.level, "Compression level 0 (store) to 9 (best), also written -mx N; default 6")
        ->check(CLI::Range(0, 9));
    add->add_option("-p,--password", options.password, "Encipher the added files with this password");
    add->add_option("--encrypt", options.encrypt, "Cipher for -p: zipcrypto (default) or aes256 (ZIP only)")
        ->check(CLI::IsMember({"zipcrypto", "aes256"}));
    add->add_flag("-r,--recurse", options.recurse, "Take the contents of folders, with their subfolders");
    add->add_flag("-L,--follow-links", options.follow_links,
                  "Store the files and folders symbolic links lead to instead of the links (a link back into a "
                  "folder it lies in stays a link)");
    CLI::Option* move = add->add_flag("--move", options.move, "Delete the files once they are in the archive");
    CLI::Option* freshen =
        add->add_flag("--freshen", options.freshen, "Only replace entries whose file on disk is newer")->excludes(move);
    add->add_flag("--update", options.update, "Replace entries whose file is newer and add new files")
        ->excludes(move)
        ->excludes(freshen);
    // One mask a switch, so that the archive and the files after it are not taken for masks.
    add->add_option("-x,--exclude", options.exclude, "Leave out files matching this mask (* and ?); repeatable")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    add->footer("Example: kv a -r -mx 9 -x '*.o' backup.zip src docs/notes.txt");
    return add;
}

void SpellLevelSwitch(std::vector<std::string>& args) {
    for (std::string& arg : args) {
        if (arg == "--") return;
        if (!arg.starts_with("-mx")) continue;
        const std::string value = arg.substr(3);
        arg = value.empty() || value[0] == '=' ? "--mx" + value : "--mx=" + value;
    }
}

int RunAddCommand(const AddOptions& options) {
    if (!options.encrypt.empty() && options.password.empty()) return Refuse("--encrypt needs a password (-p)");
    TFacadeRun run(options.archive, {.entry_subjects = false});
    facade::TkvComp& comp = run.Comp();
    const std::optional<TArcType> new_type = NewArchiveType(options.archive, options.type);
    if (!new_type) {
        run.Fail(ecode::kUnsupportedArcTypeOperation);
        return 2;
    }
    if (platform::DirectoryExists(options.archive)) {
        run.Fail(ecode::kErrorOpeningFile);
        return 2;
    }
    if (platform::FileExists(options.archive)) {
        if (!run.Open(TFacadeRun::TPurpose::Changing)) return 2;
    } else if (!comp.NewArchive(options.archive, *new_type)) {
        run.Fail(ecode::kErrorCreatingFile);
        return 2;
    }
    const bool aes = options.encrypt == "aes256";
    // The ZIP manager writes WinZip AES; the other writers know the classic cipher only.
    if (aes && !FormatOf(comp.ArcType()).Has(ftZipManager))
        return Refuse(options.archive + ": AES encryption (--encrypt=aes256) is written into ZIP archives only");

    comp.FileSpec = options.files;
    comp.FileSpecExcl = options.exclude;
    comp.AddOptions = {facade::aoDirNames, facade::aoHidden, facade::aoSeparateDirs};
    if (options.recurse) comp.AddOptions.Include(facade::aoRecurse);
    comp.FollowLinks = options.follow_links;
    comp.AddMode = options.move      ? facade::amMove
                   : options.freshen ? facade::amFreshen
                   : options.update  ? facade::amUpdate
                                     : facade::amAdd;
    comp.Password = options.password;
    comp.AddEncryptMethod = aes ? emAes2_256 : emZip_V2;
    SetCompression(comp, options.level);
    const int result = comp.Add();
    run.EndProgressLine();
    const bool no_writer = result == facade::TkvComp::kNoWriter;
    if (no_writer && run.ChangeStatus() != 2) run.Fail(ecode::kUnsupportedArcTypeOperation);
    return no_writer ? 2 : run.ChangeStatus();
}

}  // namespace kv::cli
