#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/entry_enums.h"
#include "engine/core/events.h"
#include "engine/core/files_list.h"
#include "engine/core/kv_object.h"
#include "engine/core/masks.h"
#include "platform/dir_listing.h"

namespace kv {

enum TfsScanOptions { soScanDir, soScanDrvs };

// What the scanner hands to the add handler about one item.
struct TFindRecord {
    std::string Name;
    std::uint64_t Size = 0;
    std::uint32_t Attributes = 0;  // MS-DOS bits
    std::uint32_t Time = 0;        // last write, local MS-DOS date/time
    bool IsLink = false;           // a symbolic link taken as itself (its target is not read)
};

using TOnScanFile =
    std::function<void(TObject* Sender, const std::string& FileName, int FilesCount, std::int64_t FilesSize)>;
using TOnScanFinished = std::function<void(TObject* Sender, int FilesCount, std::int64_t FilesSize)>;
using TOnRootDirChange = std::function<void(TObject* Sender, const std::string& Dir)>;
// Receives each accepted item and says whether it took it. Directory ends with the delimiter; for a
// directory item it is the directory's own path.
using TAddFileHandler = std::function<bool(TObject* Sender, const std::string& Directory, TFilesList* List,
                                           const TFindRecord& FindRecord)>;

// Collects files (and, with fsDirectory in Attributes, directories) from disk for the writers.
// A symbolic link is handed over as a link item (matched by its own name, like a file) unless FollowLinks
// is set; then it stands for the file or folder it leads to, except when it leads nowhere or back into a
// folder being walked (a loop), where it stays a link. Devices, pipes and sockets are left out.
class TArcFileScan : public TObject {
public:
    TArcFileScan() = default;

    // Lines "dir/mask" or "mask". With RecurseDirs the scan consumes them: lines of one directory are
    // walked together and deleted.
    std::vector<std::string> FileSpec;
    // Assigning the lines clears the mask text.
    void SetFileSpec(std::vector<std::string> lines);
    // Masks separated by commas (leading blanks ignored) for a recursive scan of RootDir while FileSpec
    // holds no lines; "*" at first.
    const std::string& MaskText() const { return mask_text_; }
    void SetMaskText(std::string text) { mask_text_ = std::move(text); }

    TArcFileAttributes Attributes{fsZeroAttr, fsReadOnly, fsArchive, fsCompressed, fsEncrypted};
    TArcFileAttributes AttributesEx;
    bool IncludeHiddenDirs = false;
    bool UpdateList = true;
    // soScanDrvs walks every real mounted file system (not crossing into other mounts) instead of the
    // directory.
    TfsScanOptions ScanOptions = soScanDir;
    bool RecurseDirs = true;
    bool FollowLinks = false;
    const std::string& RootDir() const { return root_dir_; }
    // Stored with a trailing delimiter.
    void SetRootDir(std::string_view dir);
    TArcSortOptions Sorted() const { return files_.SortOrder(); }
    // Re-sorts the files list; when it is not empty OnFinished fires again.
    void SetSorted(TArcSortOptions order);

    TOnScanFile OnScanFile;
    TOnScanFinished OnFinished;
    TOnRootDirChange OnRootDirChange;
    TOnRecurseDir OnRecurseDir;
    // Lets the user interface process pending messages after each item.
    std::function<void()> ProcessMessages;

    // Replaces AddFile as the receiver of accepted items.
    TAddFileHandler AddHandler;
    // The list handed to the add handler; unassigned means the scanner's own files list.
    TFilesList* AddList = nullptr;

    // Shares an owner's cancel flag (nullptr goes back to the scanner's own). The flag is cleared when
    // a scan starts.
    void SetCancelFlag(bool* flag) { cancel_ = flag != nullptr ? flag : &own_cancel_; }
    void Cancel() { *cancel_ = true; }
    bool Cancelled() const { return *cancel_; }

    virtual void Scan();
    // The default add operation: puts a TFileObject (an empty name for a directory) into the list.
    virtual bool AddFile(const std::string& Directory, TFilesList* List, const TFindRecord& FindRecord);

    const TFilesList& Files() const { return files_; }
    int FilesCount() const { return files_count_; }
    std::int64_t FilesSize() const { return files_size_; }

private:
    struct TWalk;

    void ScanEachLine();
    void ScanFoldedLines();
    void WalkFrom(const std::string& dir, const std::vector<TInternalMask>& masks);
    void Walk(const std::string& dir, TWalk& walk);
    // What a link of `dir` is taken as (see the class comment); nothing for a device or the like behind it.
    // `walk` (when recursing) knows the folders being walked.
    std::optional<platform::TDirItem> LinkItem(const std::string& dir, const platform::TDirItem& link,
                                               const TWalk* walk) const;
    // Attribute filter, masks (when given) and hand-over of one item of `dir`.
    void Examine(const std::string& dir, const platform::TDirItem& item, const std::vector<TInternalMask>* masks);
    bool HandOver(const std::string& directory, const TFindRecord& record);
    void Pump() const;

    std::string mask_text_ = "*";
    std::string root_dir_ = "/";
    bool own_cancel_ = false;
    bool* cancel_ = &own_cancel_;
    TFilesList files_;
    int files_count_ = 0;
    std::int64_t files_size_ = 0;
};

}  // namespace kv
