#include "engine/readers/single_file_entry.h"

#include <sys/stat.h>

#include "engine/readers/arc_lister.h"

namespace kv {

std::uint32_t ArchiveFileAttributes(const std::string& path) {
    constexpr std::uint32_t kReadOnly = 0x01;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0;
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ? kReadOnly : 0;
}

TEntryRecord ArchiveFileRecord(const TArcLister& lister) {
    TEntryRecord record;
    record.FileName = lister.ArchiveBaseName();
    record.FileDate = lister.DosDateTimeToDateTime(lister.Detection().ArcDate);
    record.ExternalAttr = ArchiveFileAttributes(lister.ArchiveFile());
    return record;
}

}  // namespace kv
