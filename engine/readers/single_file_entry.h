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

// The size and CRC-32 of what extraction writes, known by decoding the whole file with the reader of the
// lister's type (the headers tell the last member's at best, or nothing). False leaves the record as it
// was (the file does not decode whole, or the lister was cancelled).
bool TakeDecodedSizeAndCrc(TArcLister& lister, TEntryRecord& record);

}  // namespace kv
