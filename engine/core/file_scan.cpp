#include "engine/core/file_scan.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "engine/core/attribute_filter.h"
#include "engine/core/dates.h"
#include "platform/file_attributes_linux.h"
#include "platform/mount_points.h"
#include "platform/paths.h"
#include "platform/sym_link.h"

namespace kv {
namespace {

using platform::kPathDelim;
using platform::TDirItem;
using platform::TDirItemKind;

bool IsBlank(std::string_view line) { return line.find_first_not_of(' ') == std::string_view::npos; }

std::string_view FilePart(std::string_view line) {
    const std::size_t delim = line.rfind(kPathDelim);
    return delim == std::string_view::npos ? line : line.substr(delim + 1);
}

// A line that names a folder alone takes every file in it.
std::string_view NormalizedMask(std::string_view mask) { return mask.empty() ? "*" : mask; }

std::vector<TInternalMask> ParseMaskText(std::string_view text) {
    std::vector<TInternalMask> masks;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string_view mask = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        mask.remove_prefix(std::min(mask.find_first_not_of(' '), mask.size()));
        if (!mask.empty()) masks.emplace_back(mask);
    }
    return masks;
}

// Adds a line's mask to its directory's set unless a mask there already takes every name it takes;
// masks it takes in completely leave the set.
void FoldMask(std::vector<TInternalMask>& masks, std::string_view text) {
    TInternalMask mask(NormalizedMask(text));
    if (std::any_of(masks.begin(), masks.end(), [&](const TInternalMask& m) { return m.Covers(mask); })) return;
    std::erase_if(masks, [&](const TInternalMask& m) { return mask.Covers(m); });
    masks.push_back(std::move(mask));
}

bool IsHiddenName(std::string_view name) { return !name.empty() && name.front() == '.'; }

}  // namespace

struct TArcFileScan::TWalk {
    const std::vector<TInternalMask>* Masks = nullptr;
    std::optional<dev_t> Device;                       // set: stay on this file system
    std::vector<std::pair<dev_t, ino_t>> ActivePath;  // directories being walked, to refuse loops
};

void TArcFileScan::SetFileSpec(std::vector<std::string> lines) {
    FileSpec = std::move(lines);
    mask_text_.clear();
}

void TArcFileScan::SetRootDir(std::string_view dir) { root_dir_ = platform::IncludeTrailingDelimiter(dir); }

void TArcFileScan::SetSorted(TArcSortOptions order) {
    if (order == files_.SortOrder()) return;
    files_.SetSortOrder(order);
    if (!files_.Empty() && OnFinished) OnFinished(this, files_count_, files_size_);
}

void TArcFileScan::Scan() {
    files_.Clear();
    files_count_ = 0;
    files_size_ = 0;
    *cancel_ = false;

    const bool has_lines = std::any_of(FileSpec.begin(), FileSpec.end(), [](const auto& l) { return !IsBlank(l); });
    if (!RecurseDirs) {
        ScanEachLine();
    } else if (!has_lines && !mask_text_.empty()) {
        if (!root_dir_.empty() && platform::DirectoryExists(root_dir_)) WalkFrom(root_dir_, ParseMaskText(mask_text_));
    } else {
        ScanFoldedLines();
    }
    if (OnFinished) OnFinished(this, files_count_, files_size_);
}

// Each line names a directory and a mask; only that directory is looked at. A mask without wildcards
// names one item exactly, as the file system would find it.
void TArcFileScan::ScanEachLine() {
    for (const std::string& line : FileSpec) {
        if (Cancelled()) return;
        if (IsBlank(line)) continue;
        const std::string line_dir = platform::ExtractFilePath(line);
        const std::string dir = line_dir.empty() ? platform::CurrentDirectory() : line_dir;
        const std::string_view mask_text = NormalizedMask(FilePart(line));
        const bool wildcards = mask_text.find_first_of("*?") != std::string_view::npos;
        const TInternalMask mask(mask_text);

        std::vector<TDirItem> found;
        for (TDirItem& listed : platform::ListDirectory(dir).Items) {
            std::optional<TDirItem> taken =
                listed.Kind == TDirItemKind::dkSymLink ? LinkItem(dir, listed, nullptr) : std::move(listed);
            if (!taken || taken->Kind == TDirItemKind::dkOther) continue;
            TDirItem& item = *taken;
            if (item.Kind == TDirItemKind::dkDirectory && IsHiddenName(item.Name) && !IncludeHiddenDirs) continue;
            if (wildcards ? mask.Matches(item.Name) : item.Name == mask_text) found.push_back(std::move(item));
        }
        if (found.empty()) continue;
        if (OnRootDirChange) OnRootDirChange(this, dir);
        for (const TDirItem& item : found) {
            if (Cancelled()) return;
            Examine(dir, item, nullptr);
            Pump();
        }
    }
}

// Lines are taken directory by directory; a line without a directory belongs to RootDir as it was when
// the scan started (else the current directory), whatever directories earlier lines moved RootDir to.
void TArcFileScan::ScanFoldedLines() {
    std::erase_if(FileSpec, [](const std::string& line) { return IsBlank(line); });
    const std::string base_dir = root_dir_.empty() ? platform::CurrentDirectory() : root_dir_;
    const auto dir_of = [&](const std::string& line) {
        std::string dir = platform::ExtractFilePath(line);
        return dir.empty() ? base_dir : dir;
    };
    while (!FileSpec.empty() && !Cancelled()) {
        const std::string dir = dir_of(FileSpec.front());
        std::vector<TInternalMask> masks{TInternalMask(NormalizedMask(FilePart(FileSpec.front())))};
        // Directories are compared exactly: on this file system "a/" and "A/" are different folders.
        for (auto it = FileSpec.begin() + 1; it != FileSpec.end();) {
            if (dir_of(*it) == dir) {
                FoldMask(masks, FilePart(*it));
                it = FileSpec.erase(it);
            } else {
                ++it;
            }
        }
        SetRootDir(dir);
        if (OnRootDirChange) OnRootDirChange(this, root_dir_);
        FileSpec.erase(FileSpec.begin());
        WalkFrom(root_dir_, masks);
    }
}

void TArcFileScan::WalkFrom(const std::string& dir, const std::vector<TInternalMask>& masks) {
    if (ScanOptions == soScanDrvs) {
        for (const std::string& mount : platform::RealFileSystemMounts()) {
            if (Cancelled()) return;
            TWalk walk{&masks, std::nullopt, {}};
            const platform::TDirListing root = platform::ListDirectory(mount);
            if (!root.Opened) continue;
            walk.Device = root.Device;
            Walk(platform::IncludeTrailingDelimiter(mount), walk);
        }
        return;
    }
    TWalk walk{&masks, std::nullopt, {}};
    Walk(platform::IncludeTrailingDelimiter(dir), walk);
}

void TArcFileScan::Walk(const std::string& dir, TWalk& walk) {
    if (Cancelled()) return;
    const platform::TDirListing listing = platform::ListDirectory(dir);
    if (!listing.Opened) return;
    const std::pair<dev_t, ino_t> identity{listing.Device, listing.Inode};
    // Without links a loop needs a bind mount of an ancestor; walking it again would never end.
    if (std::find(walk.ActivePath.begin(), walk.ActivePath.end(), identity) != walk.ActivePath.end()) return;
    walk.ActivePath.push_back(identity);
    if (OnRecurseDir) OnRecurseDir(this, dir);

    for (const TDirItem& listed : listing.Items) {
        if (Cancelled()) break;
        const std::optional<TDirItem> taken =
            listed.Kind == TDirItemKind::dkSymLink ? LinkItem(dir, listed, &walk) : listed;
        if (!taken) continue;
        const TDirItem& item = *taken;
        if (item.Kind == TDirItemKind::dkFile || item.Kind == TDirItemKind::dkSymLink) {
            Examine(dir, item, walk.Masks);
        } else if (item.Kind == TDirItemKind::dkDirectory && (IncludeHiddenDirs || !IsHiddenName(item.Name))) {
            Examine(dir, item, nullptr);
            if (!walk.Device || item.Device == *walk.Device) Walk(dir + item.Name + kPathDelim, walk);
        }
        Pump();
    }
    walk.ActivePath.pop_back();
}

std::optional<TDirItem> TArcFileScan::LinkItem(const std::string& dir, const TDirItem& link, const TWalk* walk) const {
    if (!FollowLinks) return link;
    const std::optional<struct stat> followed = platform::FollowedLink(dir + link.Name, [walk](dev_t device, ino_t inode) {
        return walk != nullptr && std::find(walk->ActivePath.begin(), walk->ActivePath.end(),
                                            std::make_pair(device, inode)) != walk->ActivePath.end();
    });
    if (!followed) return link;
    const struct stat& target = *followed;
    if (!S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode)) return std::nullopt;
    TDirItem item;
    item.Name = link.Name;
    item.Kind = S_ISDIR(target.st_mode) ? TDirItemKind::dkDirectory : TDirItemKind::dkFile;
    item.Size = S_ISREG(target.st_mode) ? static_cast<std::uint64_t>(target.st_size) : 0;
    item.ModifyTime = target.st_mtime;
    item.Attributes = platform::DosAttributes(link.Name, target.st_mode);
    item.Device = target.st_dev;
    return item;
}

void TArcFileScan::Examine(const std::string& dir, const TDirItem& item, const std::vector<TInternalMask>* masks) {
    if (!AttributeFilterAccepts(item.Attributes, Attributes, AttributesEx)) return;
    const TFindRecord record{item.Name, item.Size, item.Attributes, FileTimeToDosDateTime(item.ModifyTime),
                             item.Kind == TDirItemKind::dkSymLink};
    if (item.Kind == TDirItemKind::dkDirectory) {
        if (UpdateList) HandOver(dir + item.Name + kPathDelim, record);
        return;
    }
    if (masks != nullptr &&
        std::none_of(masks->begin(), masks->end(), [&](const TInternalMask& m) { return m.Matches(item.Name); })) {
        return;
    }
    if (!UpdateList) {
        ++files_count_;
        files_size_ += static_cast<std::int64_t>(item.Size);
        return;
    }
    if (!HandOver(dir, record)) return;
    ++files_count_;
    files_size_ += static_cast<std::int64_t>(item.Size);
    if (OnScanFile) OnScanFile(this, item.Name, files_count_, files_size_);
}

bool TArcFileScan::HandOver(const std::string& directory, const TFindRecord& record) {
    TFilesList* list = AddList != nullptr ? AddList : &files_;
    return AddHandler ? AddHandler(this, directory, list, record) : AddFile(directory, list, record);
}

bool TArcFileScan::AddFile(const std::string& Directory, TFilesList* List, const TFindRecord& FindRecord) {
    const bool is_dir = (FindRecord.Attributes & platform::kFaDirectory) != 0;
    List->Add({is_dir ? std::string() : FindRecord.Name, Directory, FindRecord.Size, FindRecord.Attributes,
               FindRecord.Time});
    return true;
}

void TArcFileScan::Pump() const {
    if (ProcessMessages) ProcessMessages();
}

}  // namespace kv
