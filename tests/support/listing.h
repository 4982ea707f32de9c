#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/entry_record.h"
#include "engine/readers/arc_lister.h"
#include "support/corpus_manifest.h"

namespace kv::test {

// What one listing reported.
struct Listing {
    bool activated = false;
    TArcType type = atNA;
    std::vector<TEntryRecord> entries;
    std::vector<int> offsets;
    std::vector<int> errors;
    std::int64_t total_unpacked = -1;
    std::int64_t total_packed = -1;
    int total_files = -1;
};

// Lists an archive with every entry selected (FileSpec "*.*") and directory entries shown. `prepare` may adjust the
// lister (masks, handlers) before Activate.
Listing ListArchive(const std::string& path, const std::function<void(TArcLister&)>& prepare = {});

// Compares a listing with the expected members of a corpus archive: every expected file must be listed
// with its size (and its CRC-32 when `compare_crc`), and no other file may be listed. Directory and link
// members are not compared. Returns "" when they agree, else what differs.
std::string CompareWithExpected(const Listing& listing, const ExpectedContents& expected, bool compare_crc);

// The listed names, in order.
std::vector<std::string> Names(const Listing& listing);

// Writes `bytes` as `file` in `dir` and lists it.
Listing ListBytes(const std::filesystem::path& dir, const std::string& file, const std::string& bytes,
                  const std::function<void(TArcLister&)>& prepare = {});

}  // namespace kv::test
