#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kv::facade {

// Whether a path names an existing folder; tests answer it without a disk.
using TIsFolder = std::function<bool(const std::string& path)>;

// The add lines for the engine writers: a folder becomes "folder/*.*", anything else stays as it is.
std::vector<std::string> PlainAddSpecs(const std::vector<std::string>& paths, const TIsFolder& is_folder);

// The add lines for the ZIP manager: lines relative to a root folder, marked ">" (search recursively) or
// "|" (do not) when recursing.
struct TZipAddSpecs {
    std::vector<std::string> Specs;
    std::string RootDir;
    // A single file added without its full path: recursion is switched off for this add and later ones.
    bool DropRecurse = false;
};
TZipAddSpecs ZipAddSpecs(const std::vector<std::string>& paths, bool recurse, bool full_path,
                         const TIsFolder& is_folder);

}  // namespace kv::facade
