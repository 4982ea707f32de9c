#include <string>
#include <string_view>
#include <vector>

#include "engine/core/masks.h"
#include "outside/zipeng/archive_rewrite.h"
#include "outside/zipeng/job_settings.h"
#include "outside/zipeng/zip_jobs.h"

namespace kv::zipeng {
namespace {

// One line of the entries to delete: a mask matches names in any case; a plain name is one entry's exact
// name ("a.h" and "A.h" are two files on this system).
struct TDeleteLine {
    std::string Text;
    TInternalMask Mask;
    bool Matches(std::string_view name) const {
        return Text.find_first_of("*?") != std::string::npos ? Mask.Matches(name) : name == Text;
    }
};

// A line names an entry by its full name; a folder entry also by its name without the final "/".
bool Matches(const TKeptEntry& entry, const std::vector<TDeleteLine>& lines) {
    std::string_view name = entry.Name;
    const std::string_view bare = entry.IsFolder() ? name.substr(0, name.size() - 1) : name;
    for (const TDeleteLine& line : lines) {
        if (line.Matches(name) || line.Matches(bare)) return true;
    }
    return false;
}

}  // namespace

std::int32_t RunDeleteJob(const ZipCommand& command, TJobReporter& reporter) {
    const std::string archive = Text(command.ZipFileName);
    std::vector<TDeleteLine> masks;
    for (std::int32_t i = 0; i < command.SpecCount; ++i) {
        std::string pattern = SafeStoredName(Text(command.Specs[i].FileSpec));
        if (!pattern.empty()) masks.push_back({pattern, TInternalMask(pattern)});
    }
    TArchiveRewrite rewrite(archive, reporter);
    if (!rewrite.Open()) return reporter.Stopped() ? zrsCancelled : 0;

    std::vector<const TKeptEntry*> kept;
    for (const TKeptEntry& entry : rewrite.Old().Entries) {
        if (!Matches(entry, masks)) kept.push_back(&entry);
    }
    const auto deleted = static_cast<std::int32_t>(rewrite.Old().Entries.size() - kept.size());
    if (!rewrite.Existed() || deleted == 0) {
        reporter.Message(zeNothing, "Nothing to delete in " + archive);
        reporter.EndOfBatch();
        return 0;
    }
    if (!reporter.FileCount(deleted) || !rewrite.Begin(Text(command.TempDir), kept) ||
        !rewrite.Finish(Text(command.ArchiveComment))) {
        return reporter.Stopped() ? zrsCancelled : 0;
    }
    reporter.EndOfBatch();
    return deleted;
}

}  // namespace kv::zipeng
