#pragma once

#include <cstdint>
#include <string>

#include "engine/core/entry_record.h"

namespace kv {

class TArcLister;

// The attribute bits of the archive file itself: read-only (1) when nobody may write it; a plain file
// has none.
std::uint32_t ArchiveFileAttributes(const std::string& path);

// The one entry of a single-file archive as the archive file describes it: named after the archive
// without its last extension, dated with the archive's date, with the archive's attributes.
TEntryRecord ArchiveFileRecord(const TArcLister& lister);

}  // namespace kv
