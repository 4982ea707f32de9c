#include "cli/facade_run.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>

#include "cli/archive_names.h"
#include "cli/terminal.h"
#include "engine/core/error_codes.h"
#include "engine/core/packed_tar_types.h"

namespace kv::cli {
namespace {

// How often the progress line on a terminal is redrawn at most: drawing it for each of many small
// entries would cost more than extracting them.
constexpr std::chrono::milliseconds kProgressInterval{100};

// The zip engine library's own error number for a run that found nothing to do.
constexpr int kZipEngineNothingToDo = 12;

// "Nothing to do" as the zip engine library and the archive engine say it: the run had no work, which is
// no failure.
bool SaysNothingToDo(int code) {
    return code == kZipEngineNothingToDo || code == ecode::kNothingToDo || code == ecode::kNothingToDoArchive;
}

std::string TextOf(int code, const std::string& message) {
    if (!message.empty()) return message;
    const std::string_view text = LoadStr(code);
    return text.empty() ? "error " + std::to_string(code) : std::string(text);
}

// The message without a leading "subject: " (engines often name the file themselves).
std::string WithoutSubject(const std::string& text, const std::string& subject) {
    if (!subject.empty() && text.size() > subject.size() + 2 && text.starts_with(subject) &&
        text.compare(subject.size(), 2, ": ") == 0)
        return text.substr(subject.size() + 2);
    return text;
}

}  // namespace

TFacadeRun::TFacadeRun(std::string archive, TStyle style)
    : archive_(std::move(archive)), style_(style), progress_line_(Interactive() && !style.quiet) {
    // "." is the program's own folder, where the engine libraries are built.
    comp_.SetDllDirectory(".");
    comp_.OnMessage = [this](TObject*, int code, const std::string& message) { Message(code, message); };
    comp_.OnProgress = [this](TObject*, std::uint8_t, std::uint8_t by_archive, const std::string& name) {
        Progress(by_archive, name);
    };
    comp_.OnCRCError = [this](TObject*, const std::string& name, std::uint32_t, std::uint32_t, bool& cancel) {
        // The output is kept, as it came out: the verdict tells it is damaged.
        cancel = false;
        const std::string entry = name.empty() ? current_ : name;
        const std::string text(LoadStr(ecode::kFileFailsCrcCheck));
        // A decoding error that came first has said why already.
        if (EntryFailed(entry, ecode::kFileFailsCrcCheck, text)) Print(entry, text, true);
    };
    comp_.OnPassword = [](TObject*, const std::string& name, std::string& password, bool& cancel) {
        cancel = !Interactive();
        if (!cancel) password = ReadSecret("Password for " + name + ": ");
        cancel = cancel || password.empty();
    };
}

bool TFacadeRun::Open(TPurpose purpose) {
    // A compressed TAR is read as it is decoded: no TAR file on disk, and the messages name the archive.
    comp_.ReadNestedTar = purpose == TPurpose::Reading;
    if (!comp_.Open(archive_)) {
        if (!fatal_) Fail(ecode::kErrorOpeningFile);
        return false;
    }
    if (!IsKnownType(comp_.ArcType())) {
        Fail(ecode::kUnknownFileType);
        return false;
    }
    if (purpose == TPurpose::Changing) {
        const std::optional<TArcType> packed_tar = PackedTarTypeOfName(archive_);
        return !packed_tar || comp_.ArcType() != PackedFileTypeOf(*packed_tar) || comp_.NewArchive(archive_, *packed_tar);
    }
    return true;
}

void TFacadeRun::Fail(int code, const std::string& text) {
    const std::string saved = current_;
    current_.clear();
    Message(code, text);
    current_ = saved;
}

void TFacadeRun::Progress(std::uint8_t by_archive, const std::string& name) {
    if (!name.empty() && name != current_) {
        current_ = name;
        if (style_.keep_passed) VerdictFor(name);
    }
    if (!progress_line_ || current_.empty()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < next_draw_) return;
    next_draw_ = now + kProgressInterval;
    std::fprintf(stderr, "\r%3u%% %s\x1b[K", unsigned{by_archive}, current_.c_str());
}

void TFacadeRun::EndProgressLine() {
    if (progress_line_) std::fprintf(stderr, "\r\x1b[K");
}

void TFacadeRun::Message(int code, const std::string& message) {
    if (code == 0) return;  // a diagnostic line, not an error
    if (code == ecode::kUnsupportedArcTypeOperation) unsupported_ = true;
    const bool for_entry = style_.entry_subjects && !current_.empty();
    const std::string subject = for_entry ? current_ : archive_;
    const std::string text = WithoutSubject(TextOf(code, message), subject);
    if (!SaysNothingToDo(code)) {
        ++errors_;
        if (for_entry)
            EntryFailed(subject, code, text);
        else if (current_.empty())
            fatal_ = true;
    }
    Print(subject, text, for_entry);
}

bool TFacadeRun::EntryFailed(const std::string& name, int code, const std::string& text) {
    TVerdict& verdict = VerdictFor(name);
    if (!verdict.ok) return false;
    verdict = {name, false, code, text};
    ++failed_entries_;
    return true;
}

void TFacadeRun::Print(const std::string& subject, const std::string& text, bool about_entry) const {
    if (about_entry && style_.quiet) return;
    if (progress_line_) std::fprintf(stderr, "\r\x1b[K");
    std::cerr << "kv: " << subject << ": " << text << '\n';
}

TVerdict& TFacadeRun::VerdictFor(const std::string& name) {
    const auto it = verdict_index_.find(name);
    if (it != verdict_index_.end()) return verdicts_[it->second];
    verdict_index_.emplace(name, verdicts_.size());
    verdicts_.push_back(TVerdict{name, true, 0, {}});
    return verdicts_.back();
}

int TFacadeRun::ExtractStatus() const {
    if (fatal_ && current_.empty()) return 2;
    return failed_entries_ == 0 && skipped_ == 0 && !fatal_ ? 0 : 1;
}

int TFacadeRun::ChangeStatus() const {
    if (unsupported_) return 2;
    return errors_ == 0 ? 0 : 1;
}

void TFacadeRun::PrintJson() const {
    nlohmann::json entries = nlohmann::json::array();
    for (const TVerdict& v : verdicts_)
        entries.push_back({{"name", v.name}, {"ok", v.ok}, {"error", v.error}, {"text", v.text}});
    std::cout << nlohmann::json{{"archive", archive_}, {"entries", entries}}.dump(-1, ' ', false,
                                                                                 nlohmann::json::error_handler_t::replace)
              << '\n';
}

}  // namespace kv::cli
