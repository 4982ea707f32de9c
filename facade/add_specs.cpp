#include "facade/add_specs.h"

#include "platform/paths.h"

namespace kv::facade {
namespace {

using platform::kPathDelim;
const std::string kAllFiles = "*.*";

// A folder named with a trailing delimiter is the same folder.
std::string WithoutTrailingDelimiter(std::string path) {
    while (path.size() > 1 && path.back() == kPathDelim) path.pop_back();
    return path;
}

struct TSplit {
    std::string Parent;  // with its trailing delimiter, or empty
    std::string Name;
};
// Cuts a path at its last delimiter before the final character.
TSplit Split(const std::string& path) {
    if (path.size() < 2) return {{}, path};
    const std::size_t cut = path.rfind(kPathDelim, path.size() - 2);
    if (cut == std::string::npos) return {{}, path};
    return {path.substr(0, cut + 1), path.substr(cut + 1)};
}

std::string FileNamePart(const std::string& path) { return path.substr(platform::ExtractFilePath(path).size()); }

std::string FolderSpec(const std::string& folder) { return folder + kPathDelim + kAllFiles; }

}  // namespace

std::vector<std::string> PlainAddSpecs(const std::vector<std::string>& paths, const TIsFolder& is_folder) {
    std::vector<std::string> specs;
    for (const std::string& path : paths)
        specs.push_back(is_folder(path) ? FolderSpec(WithoutTrailingDelimiter(path)) : path);
    return specs;
}

TZipAddSpecs ZipAddSpecs(const std::vector<std::string>& given, bool recurse, bool full_path,
                         const TIsFolder& is_folder) {
    const std::string R = recurse ? ">" : "";
    const std::string N = recurse ? "|" : "";
    TZipAddSpecs result;
    if (given.empty()) return result;
    std::vector<std::string> paths;
    std::vector<bool> folders;
    for (const std::string& path : given) {
        folders.push_back(is_folder(path));
        paths.push_back(folders.back() ? WithoutTrailingDelimiter(path) : path);
    }

    if (paths.size() == 1) {
        const std::string& path = paths.front();
        if (folders.front()) {
            if (full_path) {
                result.Specs = {R + FolderSpec(path)};
            } else {
                const TSplit split = Split(path);
                result.RootDir = split.Parent;
                result.Specs = {R + FolderSpec(split.Name)};
            }
            return result;
        }
        const std::string name = FileNamePart(path);
        const std::string mark = name.find('*') != std::string::npos ? R : N;
        if (full_path) {
            result.Specs = {mark + path};
        } else {
            result.DropRecurse = true;
            result.RootDir = WithoutTrailingDelimiter(platform::ExtractFilePath(path));
            result.Specs = {mark + name};
        }
        return result;
    }

    // Several paths: the root is the longest folder prefix that every path lies in. The chain starts with
    // the empty prefix, which every path has.
    std::vector<std::string> chain(1);
    if (!full_path) {
        const std::string candidate = folders.front()
                                          ? (recurse ? paths.front() + kPathDelim : Split(paths.front()).Parent)
                                          : platform::ExtractFilePath(paths.front());
        for (std::size_t i = 0; i < candidate.size(); ++i)
            if (candidate[i] == kPathDelim) chain.push_back(candidate.substr(0, i + 1));
    }
    std::size_t link = chain.size() - 1;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::string compare;
        if (folders[i]) {
            result.Specs.push_back(FolderSpec(paths[i]));
            compare = recurse ? paths[i] + kPathDelim : Split(paths[i]).Parent;
        } else {
            result.Specs.push_back(paths[i]);
            compare = platform::ExtractFilePath(paths[i]);
        }
        if (full_path) continue;
        while (!compare.starts_with(chain[link])) --link;
    }
    if (!full_path) result.RootDir = chain[link];
    for (std::string& line : result.Specs) {
        if (!result.RootDir.empty()) {
            if (const std::size_t at = line.find(result.RootDir); at != std::string::npos)
                line.erase(at, result.RootDir.size());
        }
        // Folder lines are searched recursively with full paths too: otherwise a recursive add of several
        // folders would take only their top files.
        if (line.find(kAllFiles) != std::string::npos) line = R + line;
    }
    return result;
}

}  // namespace kv::facade
