#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "facade/kv_comp.h"

namespace kv::cli {

// What happened to one entry; the first error reported for it decides.
struct TVerdict {
    std::string name;
    bool ok = true;
    int error = 0;
    std::string text;
};

// One operation of a kv command on the facade: the facade set up the way kv drives it, the verdicts
// its events give, the messages printed on standard error and the exit status they add up to.
class TFacadeRun {
public:
    struct TStyle {
        bool keep_passed = false;    // remember every entry met (the JSON report), not only failed ones
        bool quiet = false;          // print nothing about entries (the JSON report says it all)
        bool entry_subjects = true;  // name the entry at work in a message, else the archive
    };
    TFacadeRun(std::string archive, TStyle style);
    TFacadeRun(const TFacadeRun&) = delete;
    TFacadeRun& operator=(const TFacadeRun&) = delete;

    facade::TkvComp& Comp() { return comp_; }

    // What the archive is opened for. A GZIP or BZIP2 file holding a TAR is read as that TAR (unpacked into
    // a scratch folder first); a ".tar.gz" or ".tgz" file is changed as a TAR.GZ.
    enum class TPurpose { Reading, Changing };
    // Attaches the archive, which must be of a known type; false (said why) when it cannot be read.
    bool Open(TPurpose purpose);
    // Reports an error of the whole operation (no entry) and prints it.
    void Fail(int code, const std::string& text = {});
    // The answer to an overwrite question was to skip: the run did not do all it was asked.
    void NoteSkipped() { ++skipped_; }
    // Erases the progress line (call after the operation).
    void EndProgressLine();

    // 0 when every entry passed, 1 when some failed or were skipped, 2 when the archive could not be
    // read at all.
    int ExtractStatus() const;
    // 0 when no error came ("nothing to do" is none), 1 after errors, 2 when the archive's type does not
    // allow the operation.
    int ChangeStatus() const;
    // {"archive": ..., "entries": [{name, ok, error, text}...]} on standard output.
    void PrintJson() const;

private:
    TVerdict& VerdictFor(const std::string& name);
    void Progress(std::uint8_t by_archive, const std::string& name);
    void Message(int code, const std::string& message);
    // Records the entry's failure; false when an earlier error has failed it already (the first says why).
    bool EntryFailed(const std::string& name, int code, const std::string& text);
    void Print(const std::string& subject, const std::string& text, bool about_entry) const;

    std::string archive_;
    TStyle style_;
    facade::TkvComp comp_;

    std::vector<TVerdict> verdicts_;
    std::map<std::string, std::size_t> verdict_index_;
    std::string current_;  // the entry the engine works on now
    int failed_entries_ = 0;
    int errors_ = 0;
    int skipped_ = 0;
    bool fatal_ = false;        // an error came before any entry
    bool unsupported_ = false;  // the archive's type does not allow the operation

    bool progress_line_;
    std::chrono::steady_clock::time_point next_draw_{};
};

}  // namespace kv::cli
