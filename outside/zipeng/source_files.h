#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "outside/zip_engine_records.h"

namespace kv::zipeng {

// A file or folder to add.
struct TSourceFile {
    std::string DiskPath;
    std::string StoredName;  // UTF-8, "/" between folders; a folder's ends with "/"
    bool IsFolder = false;
    bool IsLink = false;     // a symbolic link stored as a link: its target is the data
    std::int64_t Size = 0;
    std::time_t ModTime = 0;
    mode_t Mode = 0;
    std::size_t Line = 0;  // the pattern line that found it
};

struct TGatherOptions {
    std::string BaseDir;          // RootDir, or the current folder
    bool HiddenFiles = false;     // names starting with "." are taken too
    bool FolderEntries = true;    // folders get entries of their own
    bool JunkDirNames = false;    // names are stored without their folders
    // Symbolic links are taken as what they lead to instead of as links; one that leads nowhere, or to a
    // folder it lies in (a loop), is still taken as a link.
    bool FollowLinks = false;
    std::vector<std::string> Excludes;
    std::optional<std::uint32_t> FromDosDate;  // only files of this MS-DOS date/time or later
    std::string ArchivePath;      // never added to itself
};

using TGatherWarning = std::function<void(ZipEngError error, const std::string& text)>;

// The files the pattern lines name, in the order found, each stored name once (compared exactly: "a.h" and
// "A.h" are two files here).
// A line is a file, a folder or a wildcard mask in a folder; relative ones lie under the base folder.
// Names are stored relative to the base folder when the file lies under it, else relative to the line's
// own folder. A line that matches nothing is reported with zeName.
std::vector<TSourceFile> GatherSources(const ZipCommand& command, const TGatherOptions& options,
                                       const TGatherWarning& warn);

}  // namespace kv::zipeng
