#include "cli/extract_command.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>

#include "cli/terminal.h"
#include "engine/core/error_codes.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/reader_for_type.h"
#include "platform/paths.h"

namespace kv::cli {
namespace {

// How often the progress line on a terminal is redrawn at most: drawing it for each of many small
// entries would cost more than extracting them.
constexpr std::chrono::milliseconds kProgressInterval{100};

struct TVerdict {
    std::string name;
    bool ok = true;
    int error = 0;
    std::string text;
};

// What happened to the entries, in the order they were met: every entry for the JSON report, else only
// those that failed (a run over many entries keeps no record of each).
class TVerdicts {
public:
    explicit TVerdicts(bool keep_passed) : keep_passed_(keep_passed) {}
    void Passed(const std::string& name) {
        if (keep_passed_) For(name);
        met_any_ = true;
    }
    TVerdict& For(const std::string& name) {
        met_any_ = true;
        const auto it = index_.find(name);
        if (it != index_.end()) return list_[it->second];
        index_.emplace(name, list_.size());
        list_.push_back(TVerdict{name, true, 0, {}});
        return list_.back();
    }
    const std::vector<TVerdict>& All() const { return list_; }
    bool MetAny() const { return met_any_; }
    bool AllPassed() const {
        for (const TVerdict& v : list_)
            if (!v.ok) return false;
        return true;
    }

private:
    bool keep_passed_;
    bool met_any_ = false;
    std::vector<TVerdict> list_;
    std::map<std::string, std::size_t> index_;
};

// The overwrite question with its "all" and "none" answers remembered for the rest of the run.
class TOverwriteQuestion {
public:
    TOverwriteMode Ask(const std::string& path) {
        if (remembered_) return *remembered_;
        if (!Interactive()) {
            std::cerr << "kv: " << path << " exists; skipped (-y overwrites, -n skips quietly)\n";
            return omSkip;
        }
        for (;;) {
            switch (AskChoice("replace " + path + "? [y]es, [n]o, [A]ll, [N]one: ")) {
                case 'y': return omOverwrite;
                case 'n': return omSkip;
                case 'A': return *(remembered_ = omOverwrite);
                case 'N':
                case '\0': return *(remembered_ = omSkip);
                default: break;
            }
        }
    }

private:
    std::optional<TOverwriteMode> remembered_;
};

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
    if (kind == TExtractKind::Test) {
        command->add_flag("--json", options.json, "One JSON object: archive and, per entry, name, ok, error and text");
    } else {
        command->add_option("-o,--output", options.out_dir, "Folder to extract into (default: the current folder)");
        CLI::Option* all = command->add_flag("-y,--overwrite", options.overwrite_all, "Overwrite existing files");
        command->add_flag("-n,--skip-existing", options.skip_existing, "Leave existing files alone")->excludes(all);
    }
    return command;
}

int RunExtractCommand(const ExtractOptions& options, TExtractKind kind) {
    const auto fail = [&](int code) {
        std::cerr << "kv: " << options.archive << ": " << LoadStr(code) << '\n';
        return 2;
    };
    TArcLister probe;
    probe.SetArchiveFile(options.archive);
    if (probe.ArchiveFile().empty()) return fail(ecode::kFileNotFound);
    std::unique_ptr<TUnBase> reader = CreateReader(probe.ArcType());
    if (!reader) return fail(IsKnownType(probe.ArcType()) ? ecode::kUnsupportedArcTypeOperation : ecode::kUnknownFileType);

    TVerdicts verdicts(options.json);
    std::string current;
    bool fatal = false;
    reader->OnBegin = [&](TObject*, const std::string& name, int, bool&) { current = name; };
    reader->OnEnd = [&](TObject*, const std::string& name, bool pass) {
        if (pass) {
            verdicts.Passed(name);
            return;
        }
        TVerdict& verdict = verdicts.For(name);
        if (!verdict.ok) return;  // an error already said why
        verdict = {name, false, ecode::kFileFailsCrcCheck, std::string(LoadStr(ecode::kFileFailsCrcCheck))};
        if (!options.json) std::cerr << "kv: " << name << ": " << verdict.text << '\n';
    };
    reader->OnError = [&](TObject*, const std::string& file, const std::string& extended, const std::string&, int code) {
        const std::string text = ErrorText(code, extended);
        if (file.empty() || file == options.archive) {
            fatal = true;
        } else {
            TVerdict& verdict = verdicts.For(file);
            if (verdict.ok) verdict = {file, false, code, text};
        }
        if (!options.json) std::cerr << "kv: " << (file.empty() ? options.archive : file) << ": " << text << '\n';
    };
    reader->OnGetPassword = [&](TObject*, const std::string& name, std::string& password, TSeedKeyRecord&,
                                TSeedKeyRecord&, bool& try_again) {
        try_again = Interactive();
        if (try_again) password = ReadSecret("Password for " + name + ": ");
        try_again = try_again && !password.empty();
    };
    TOverwriteQuestion question;
    int skipped = 0;
    reader->OnFileExists = [&](TObject*, const std::string& path, std::string&, TOverwriteMode& mode) {
        mode = question.Ask(path);
        if (mode == omSkip) ++skipped;
    };
    reader->OnNextVolume = [](TObject*, std::string&, int, bool exists, bool& cancel) { cancel = !exists; };
    const bool progress_line = Interactive() && !options.json;
    std::chrono::steady_clock::time_point next_draw{};
    reader->OnProgress = [&](TObject*, std::uint8_t, std::uint8_t by_archive) {
        if (!progress_line) return;
        const auto now = std::chrono::steady_clock::now();
        if (now < next_draw) return;
        next_draw = now + kProgressInterval;
        std::fprintf(stderr, "\r%3u%% %s\x1b[K", unsigned{by_archive}, current.c_str());
    };

    reader->SetArchiveFile(options.archive);
    reader->FileSpec = options.masks.empty() ? std::vector<std::string>{"*.*"} : options.masks;
    reader->UseStoredDirs = kind != TExtractKind::Flat;
    reader->CreateStoredDirs = kind == TExtractKind::WithPaths;
    reader->SetExtractDir(options.out_dir.empty() ? platform::CurrentDirectory() : options.out_dir);
    if (!options.password.empty()) reader->Password = options.password;
    if (options.overwrite_all || options.skip_existing) {
        reader->ConfirmOverwrites = false;
        reader->OverwriteMode = options.overwrite_all ? omOverwrite : omSkip;
    } else {
        reader->ConfirmOverwrites = true;
    }
    if (kind == TExtractKind::Test) reader->TestArchive(); else reader->Extract();
    if (progress_line) std::fprintf(stderr, "\r\x1b[K");

    if (options.json) {
        nlohmann::json entries = nlohmann::json::array();
        for (const TVerdict& v : verdicts.All())
            entries.push_back({{"name", v.name}, {"ok", v.ok}, {"error", v.error}, {"text", v.text}});
        std::cout << nlohmann::json{{"archive", options.archive}, {"entries", entries}}.dump() << '\n';
    }
    if (fatal && !verdicts.MetAny()) return 2;
    return verdicts.AllPassed() && skipped == 0 && !fatal ? 0 : 1;
}

}  // namespace kv::cli
