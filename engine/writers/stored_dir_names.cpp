#include "engine/writers/stored_dir_names.h"

#include <filesystem>
#include <optional>

#include "platform/paths.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

fs::path Absolute(const std::string& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path.empty() ? std::string(".") : path, error);
    if (error) absolute = path;
    absolute = absolute.lexically_normal();
    // "dir/" and "dir" are one directory.
    if (!absolute.has_filename() && absolute.has_relative_path()) absolute = absolute.parent_path();
    return absolute;
}

std::string WithoutRoot(const fs::path& absolute) { return absolute.relative_path().generic_string(); }

// `path` relative to `dir`, or its absolute path without the root when it does not lie inside.
std::string RelativeTo(const fs::path& path, const std::string& dir) {
    const fs::path relative = path.lexically_relative(Absolute(dir));
    if (relative.empty() || *relative.begin() == "..") return WithoutRoot(path);
    return relative.generic_string();
}

std::string LastFolder(const std::string& dir) {
    return Absolute(dir).filename().generic_string();
}

}  // namespace

std::string SafeStoredName(std::string_view name) {
    std::string clean;
    std::size_t at = 0;
    while (at <= name.size()) {
        const std::size_t delim = name.find('/', at);
        const std::string_view part = name.substr(at, delim == std::string_view::npos ? name.npos : delim - at);
        if (!part.empty() && part != "." && part != "..") {
            if (!clean.empty()) clean += '/';
            clean += part;
        }
        if (delim == std::string_view::npos) break;
        at = delim + 1;
    }
    if (!clean.empty() && !name.empty() && name.back() == '/') clean += '/';
    return clean;
}

std::string StoredNameFor(const std::string& disk_path, const TStoredNameBase& base) {
    const bool folder = !disk_path.empty() && disk_path.back() == '/';
    const fs::path path = Absolute(folder ? disk_path.substr(0, disk_path.size() - 1) : disk_path);
    std::string name;
    switch (base.Mode) {
        case sdNone: name = path.filename().generic_string(); break;
        case sdAbsolute:
        case sdAbsoluteNoDrv:
        case sdAbsoluteNoRoot: name = WithoutRoot(path); break;
        case sdRelative: name = RelativeTo(path, base.LineDir); break;
        case sdRelativeStoreStart: {
            // A relative line keeps its directory as written; an absolute one only its last folder.
            const std::string start = base.LineDir.empty()                    ? std::string()
                                      : base.LineDir.front() == platform::kPathDelim ? LastFolder(base.LineDir)
                                                                                   : base.LineDir;
            name = start + "/" + RelativeTo(path, base.LineDir);
            break;
        }
        case sdExplorer_Auto:
        case sdExplorer_UserDefineDefaultDir: name = RelativeTo(path, base.RootDir); break;
    }
    if (folder) name += '/';
    return SafeStoredName(name);
}

std::string CommonRootOf(const std::vector<std::string>& lines) {
    std::optional<fs::path> common;
    for (const std::string& line : lines) {
        const fs::path dir = Absolute(platform::ExtractFilePath(line));
        if (!common) {
            common = dir;
            continue;
        }
        fs::path shared;
        for (auto a = common->begin(), b = dir.begin(); a != common->end() && b != dir.end() && *a == *b; ++a, ++b) {
            shared /= *a;
        }
        common = shared;
    }
    return platform::IncludeTrailingDelimiter(common ? common->generic_string() : platform::CurrentDirectory());
}

}  // namespace kv
