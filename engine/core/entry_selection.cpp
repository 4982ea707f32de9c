#include "engine/core/entry_selection.h"

#include <string_view>

#include "engine/core/masks.h"
#include "engine/core/text_case.h"
#include "platform/paths.h"

namespace kv {
namespace {

using platform::kPathDelim;

std::string_view FilePart(std::string_view name) {
    const std::size_t delim = name.rfind(kPathDelim);
    return delim == std::string_view::npos ? name : name.substr(delim + 1);
}

bool HasDirectory(std::string_view name) { return name.find(kPathDelim) != std::string_view::npos; }
bool HasDot(std::string_view name) { return name.find('.') != std::string_view::npos; }
bool HasWildcards(std::string_view mask) { return mask.find_first_of("*?") != std::string_view::npos; }

bool IsBlank(std::string_view line) { return line.find_first_not_of(' ') == std::string_view::npos; }

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool LineMatches(const std::string& name, const std::string& line, bool RecurseDirs) {
    if (RecurseDirs) return MatchMask(HasDirectory(line) ? std::string_view(name) : FilePart(name), line);
    return SameText(platform::ExtractFilePath(name), platform::ExtractFilePath(line)) && MatchMask(name, line);
}

// "/dir/sub/", upper-cased, so that directories compare as whole components.
std::string DirectoryKey(std::string_view dir, bool absolute) {
    while (!dir.empty() && dir.back() == kPathDelim) dir.remove_suffix(1);
    std::string key = absolute ? std::string(dir) : kPathDelim + std::string(dir);
    key = platform::IncludeTrailingDelimiter(key);
    if (key.empty()) key = kPathDelim;
    return UpperCaseText(key);
}

bool IsAbsoluteLine(std::string_view line) {
    return (!line.empty() && line.front() == kPathDelim) || (line.size() > 1 && line[1] == ':');
}

bool LineExcludes(std::string_view line, std::string_view name, const std::string& entry_dir_key, bool is_dir,
                  bool RecurseDirs) {
    if (!HasDirectory(line)) return MatchMask(RecurseDirs ? FilePart(name) : name, line);
    const std::string line_dir_key =
        DirectoryKey(Trim(platform::ExtractFilePath(line)), IsAbsoluteLine(Trim(line)));
    const bool dir_hit = RecurseDirs ? entry_dir_key.find(line_dir_key) != std::string::npos
                                     : entry_dir_key.ends_with(line_dir_key);
    return dir_hit && (is_dir || MatchMask(FilePart(name), FilePart(line)));
}

}  // namespace

bool IsExcludedEntry(const std::string& name, const std::vector<std::string>& ExcludeSpec, bool RecurseDirs) {
    const bool is_dir = !name.empty() && name.back() == kPathDelim;
    const std::string entry_dir_key = DirectoryKey(platform::ExtractFilePath(name), false);
    for (const std::string& line : ExcludeSpec) {
        if (!IsBlank(line) && LineExcludes(line, name, entry_dir_key, is_dir, RecurseDirs)) return true;
    }
    return false;
}

bool SelectEntry(const std::string& name, std::vector<std::string>& FileSpec, const std::vector<std::string>& ExcludeSpec,
                 bool RecurseDirs, const TExcludeNotify& OnExcludeFile) {
    bool exclusion_tested = false;
    for (std::string& line : FileSpec) {
        if (line.empty()) continue;
        if (!exclusion_tested) {
            exclusion_tested = true;
            if (IsExcludedEntry(name, ExcludeSpec, RecurseDirs)) {
                if (OnExcludeFile) OnExcludeFile(name);
                return false;
            }
        }
        if (SameText(line, name) || LineMatches(name, line, RecurseDirs)) return true;

        // A dot in a folder ("./README", "v1.2/README") does not give the file an extension.
        const std::string dotted_name = HasDot(FilePart(name)) ? name : name + '.';
        const std::string dotted_line = HasDot(line) ? line : line + '.';
        // Storing a wildcard line back with "." would narrow it for later entries ("a*." no longer
        // matches "a.txt"); a plain name loses nothing by it.
        if (!HasWildcards(line)) line = dotted_line;
        if (LineMatches(dotted_name, dotted_line, RecurseDirs)) return true;
    }
    return false;
}

bool ListerSelects(const std::string& name, const std::vector<std::string>& FileSpec,
                   const std::vector<std::string>& ExcludeSpec, const TExcludeNotify& OnExcludeFile) {
    for (const std::string& line : FileSpec) {
        if (line.empty()) continue;
        const bool add_dot = HasDot(line) && !HasDot(name);
        if (!MatchMask(add_dot ? name + '.' : name, line)) continue;
        for (const std::string& exclude : ExcludeSpec) {
            if (!IsBlank(exclude) && MatchMask(name, exclude)) {
                if (OnExcludeFile) OnExcludeFile(name);
                return false;
            }
        }
        return true;
    }
    return false;
}

}  // namespace kv
