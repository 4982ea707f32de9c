#include "outside/zipeng/source_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "engine/core/dates.h"
#include "engine/core/masks.h"
#include "platform/sym_link.h"

namespace kv::zipeng {
namespace {

namespace fs = std::filesystem;

// A folder's path without a trailing delimiter, so that it compares equal to the paths the walk makes.
fs::path NormalFolder(const fs::path& folder) {
    fs::path normal = folder.lexically_normal();
    return normal.has_filename() ? normal : normal.parent_path();
}

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

bool IsHidden(const std::string& name) { return !name.empty() && name.front() == '.'; }

// The path of `path` below `base`, or nothing when it does not lie there.
std::optional<std::string> RelativeTo(const fs::path& path, const fs::path& base) {
    const std::string p = path.generic_string();
    std::string b = base.generic_string();
    if (!b.empty() && b.back() != '/') b += '/';
    if (p.size() <= b.size() || p.compare(0, b.size(), b) != 0) return std::nullopt;
    return p.substr(b.size());
}

class TGatherer {
public:
    TGatherer(const TGatherOptions& options, const TGatherWarning& warn)
        : options_(options), warn_(warn), base_(NormalFolder(options.BaseDir)) {
        struct stat st{};
        if (!options.ArchivePath.empty() && ::stat(options.ArchivePath.c_str(), &st) == 0) {
            archive_ = std::make_pair(st.st_dev, st.st_ino);
        }
    }

    void AddLine(const std::string& pattern, bool recurse, std::size_t line) {
        line_ = line;
        const std::size_t before = found_.size();
        fs::path path = fs::path(pattern).is_absolute() ? fs::path(pattern) : fs::path(options_.BaseDir) / pattern;
        path = path.lexically_normal();
        if (!path.has_filename()) path = path.parent_path();
        const std::string last = path.filename().string();
        spec_folder_ = path.parent_path();
        if (HasWildcard(last)) {
            const TInternalMask mask(last);
            Walk(path.parent_path(), mask, mask.MatchesEverything(), recurse);
        } else {
            struct stat st{};
            const TKind kind = Look(path, st);
            if (kind != TKind::kNone) Take(path, st, kind);
            if (kind == TKind::kFolder && recurse) Walk(path, TInternalMask("*"), true, true);
        }
        if (found_.size() == before) warn_(zeName, "name not matched: " + pattern);
    }

    std::vector<TSourceFile> Take() { return std::move(found_); }

private:
    enum class TKind { kNone, kFile, kFolder, kLink };

    // What `path` is taken as, with its status in `st`: a link as itself, or with FollowLinks as what it
    // leads to, unless it leads nowhere or to a folder being walked (which would never end). Devices,
    // pipes and sockets are not taken.
    TKind Look(const fs::path& path, struct stat& st) const {
        if (::lstat(path.c_str(), &st) != 0) return TKind::kNone;
        if (S_ISLNK(st.st_mode)) {
            if (!options_.FollowLinks) return TKind::kLink;
            const std::optional<struct stat> target = platform::FollowedLink(path, [this](dev_t device, ino_t inode) {
                return Walking(device, inode);
            });
            if (!target) return TKind::kLink;
            st = *target;
        }
        return S_ISDIR(st.st_mode) ? TKind::kFolder : S_ISREG(st.st_mode) ? TKind::kFile : TKind::kNone;
    }

    bool Walking(dev_t device, ino_t inode) const {
        return std::find(walking_.begin(), walking_.end(), std::make_pair(device, inode)) != walking_.end();
    }

    void Walk(const fs::path& folder, const TInternalMask& mask, bool folders_too, bool recurse) {
        struct stat self{};
        if (::stat(folder.c_str(), &self) != 0 || Walking(self.st_dev, self.st_ino)) return;
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr) return;
        walking_.emplace_back(self.st_dev, self.st_ino);
        std::vector<std::string> names;
        while (const dirent* item = ::readdir(dir)) {
            const std::string name = item->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
        // A fixed order keeps archives of the same tree the same.
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            if (IsHidden(name) && !options_.HiddenFiles) continue;
            const fs::path path = folder / name;
            struct stat st{};
            const TKind kind = Look(path, st);
            if (kind == TKind::kFolder) {
                if (!recurse) continue;
                if (folders_too) Take(path, st, kind);
                Walk(path, mask, folders_too, recurse);
            } else if (kind != TKind::kNone && mask.Matches(name)) {
                Take(path, st, kind);
            }
        }
        walking_.pop_back();
    }

    bool Excluded(const std::string& stored, const std::string& file_name) const {
        return std::any_of(options_.Excludes.begin(), options_.Excludes.end(), [&](const std::string& mask) {
            return MatchMask(stored, mask) || MatchMask(file_name, mask);
        });
    }

    void Take(const fs::path& path, const struct stat& st, TKind kind) {
        const bool folder = kind == TKind::kFolder;
        // The base folder itself is where names start, not an entry.
        if (folder && (!options_.FolderEntries || options_.JunkDirNames || path == base_)) return;
        if (!folder && archive_ && *archive_ == std::make_pair(st.st_dev, st.st_ino)) return;
        if (!folder && options_.FromDosDate && FileTimeToDosDateTime(st.st_mtime) < *options_.FromDosDate) return;
        std::optional<std::string> stored = RelativeTo(path, base_);
        if (!stored) stored = RelativeTo(path, spec_folder_);
        if (!stored) stored = path.filename().string();
        if (options_.JunkDirNames) stored = path.filename().string();
        if (stored->empty()) return;
        const std::string file_name = path.filename().string();
        if (Excluded(*stored, file_name)) return;
        if (folder) *stored += '/';
        if (!seen_.insert(*stored).second) return;
        TSourceFile source;
        source.DiskPath = path.string();
        source.StoredName = std::move(*stored);
        source.IsFolder = folder;
        source.IsLink = kind == TKind::kLink;
        // A link's data is its target text, as long as lstat says.
        source.Size = folder ? 0 : st.st_size;
        source.ModTime = st.st_mtime;
        source.Mode = st.st_mode;
        source.Line = line_;
        found_.push_back(std::move(source));
    }

    const TGatherOptions& options_;
    const TGatherWarning& warn_;
    fs::path base_;
    std::optional<std::pair<dev_t, ino_t>> archive_;
    fs::path spec_folder_;
    std::size_t line_ = 0;
    std::set<std::string> seen_;
    std::vector<std::pair<dev_t, ino_t>> walking_;  // the folders being walked, outermost first
    std::vector<TSourceFile> found_;
};

}  // namespace

std::vector<TSourceFile> GatherSources(const ZipCommand& command, const TGatherOptions& options,
                                       const TGatherWarning& warn) {
    TGatherer gatherer(options, warn);
    for (std::int32_t i = 0; i < command.SpecCount; ++i) {
        const ZipSpecEntry& line = command.Specs[i];
        if (line.FileSpec == nullptr || *line.FileSpec == '\0') continue;
        gatherer.AddLine(line.FileSpec, line.Recurse != 0, static_cast<std::size_t>(i));
    }
    return gatherer.Take();
}

}  // namespace kv::zipeng
