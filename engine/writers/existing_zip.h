#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/stream32.h"
#include "engine/core/zip_central_cursor.h"
#include "engine/writers/zip_records.h"

namespace kv {

// An entry of an archive being rewritten, with what copying it unchanged needs.
struct TKeptEntry {
    TZipRecordEntry Central;  // its central header (ZIP64 field taken out, values applied)
    std::string Name;         // the name in the program's form (UTF-8, "/" between folders)
    std::int64_t Offset = 0;  // where its local header starts in the file
    std::int64_t Length = 0;  // local header, data and descriptor
    bool IsFolder() const { return !Name.empty() && Name.back() == '/'; }
};

struct TExistingZip {
    std::int64_t PrefixSize = 0;  // a self-extractor's stub before the first entry
    std::vector<TKeptEntry> Entries;
    std::string Comment;
};

// A central header as the writer puts it back: its values with the ZIP64 field taken out (the writer adds
// its own where a value needs one), the stored name and comment bytes as they were.
TZipRecordEntry KeptCentralRecord(const TZipCentralRecord& record);

// Reads the central directory of a one-volume ZIP archive through the engine's detection and ZIP header
// code; hidden ("PL") headers are read with the header keys. Nothing when the file is no such archive or
// its directory is damaged (entries that do not fit the file, local headers missing).
std::optional<TExistingZip> ReadExistingZip(TStream32& archive, const std::string& file_name);

}  // namespace kv
