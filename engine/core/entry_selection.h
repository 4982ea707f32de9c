#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kv {

// Entry names use the path delimiter; a directory entry ends with it. Blank lines of both lists are
// skipped. The callback receives the entry name when an exclude mask rejects the entry.
using TExcludeNotify = std::function<void(const std::string& FileName)>;

// The readers' selection. Each FileSpec line is tried in order: the exact name (case ignored), then the
// mask (with RecurseDirs a line without a directory is matched against the file part, one with a
// directory against the whole name, "*" reaching into subdirectories; without RecurseDirs the entry must
// sit in the line's directory), then once more with "." appended to a name and to a line without one.
// A line without "." and without wildcards is stored back in that form ("readme" becomes "readme.").
// An entry the exclusion test rejects fires OnExcludeFile and is rejected.
bool SelectEntry(const std::string& name, std::vector<std::string>& FileSpec, const std::vector<std::string>& ExcludeSpec,
                 bool RecurseDirs, const TExcludeNotify& OnExcludeFile);

// The lister's selection (also the writers' check against an existing archive): the whole name against
// each FileSpec line ("." appended to a name without one when the line has one); a matching entry is
// rejected, firing OnExcludeFile, when any ExcludeSpec mask matches the whole name.
bool ListerSelects(const std::string& name, const std::vector<std::string>& FileSpec,
                   const std::vector<std::string>& ExcludeSpec, const TExcludeNotify& OnExcludeFile);

// The readers' exclusion test. A line with a directory ("docs/*.bak", "/abs/dir/*") excludes entries
// whose directory contains that directory as whole components (anywhere with RecurseDirs, as the
// entry directory's ending without) and whose file part matches the line's file part (directory entries
// need only the directory). A line without a directory is matched against the file part with
// RecurseDirs and against the whole name without.
bool IsExcludedEntry(const std::string& name, const std::vector<std::string>& ExcludeSpec, bool RecurseDirs);

}  // namespace kv
