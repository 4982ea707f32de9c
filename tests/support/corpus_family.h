#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include "engine/core/oem_names.h"
#include "platform/paths.h"
#include "support/corpus_manifest.h"
#include "support/listing.h"
#include "support/test_support.h"

namespace kv::test {

// An expected member name as the lister shows it: the extractors wrote undecodable bytes as \xNN; such
// names were stored in the OEM code page, which the lister translates.
inline std::string ExpectedNameAsListed(const std::string& path) {
    std::string bytes;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path.compare(i, 2, "\\x") == 0 && i + 4 <= path.size()) {
            bytes += static_cast<char>(std::stoi(path.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            bytes += path[i];
        }
    }
    return IsValidUtf8(bytes) ? bytes : OemToUtf8(bytes);
}

// The expected contents with names as listed, and the listing without the links the extractors
// recreated as links (the comparison leaves link members out).
inline std::pair<Listing, ExpectedContents> ComparableForm(const Listing& listing, const ExpectedContents& expected) {
    ExpectedContents names = expected;
    std::set<std::string> links;
    for (ExpectedMember& member : names.members) {
        member.path = ExpectedNameAsListed(member.path);
        if (member.type == 'l') links.insert(member.path);
    }
    Listing files = listing;
    std::erase_if(files.entries, [&](const TEntryRecord& e) { return links.count(e.FileName) != 0; });
    return {files, names};
}

// A TAR's listing against the extractors' members: names (without the leading "./" or "/" that extractors
// drop) and sizes; TAR keeps no checksum of the data.
inline std::string CompareTarListing(const Listing& listing, const ExpectedContents& expected) {
    auto [files, names] = ComparableForm(listing, expected);
    for (TEntryRecord& entry : files.entries) {
        std::string& name = entry.FileName;
        while (name.starts_with("./")) name.erase(0, 2);
        while (name.starts_with("/")) name.erase(0, 1);
    }
    return CompareWithExpected(files, names, false);
}

// For single-file formats: the one listed entry carries the expected member's name, and the sizes the
// format's rule gives (`size` < 0: the expected member's own size).
inline std::string CompareSingleEntry(const Listing& listing, const ExpectedContents& expected, std::int64_t size) {
    if (listing.entries.size() != 1 || expected.members.size() != 1) return "not one entry\n";
    const TEntryRecord& entry = listing.entries[0];
    const ExpectedMember& member = expected.members[0];
    std::string differences;
    if (entry.FileName != ExpectedNameAsListed(member.path)) differences += "name " + entry.FileName + "\n";
    const std::int64_t wanted = size < 0 ? member.size : size;
    if (entry.UnpackedSize != wanted) differences += "size " + std::to_string(entry.UnpackedSize) + "\n";
    return differences;
}

// What a family's corpus check compares: "" when the listing of a trusted archive is right.
using ListingCheck = std::function<std::string(const CorpusFile&, const Listing&, const ExpectedContents&)>;

// Lists every corpus archive of the given formats (malformed ones only have to list without harm)
// and checks the trusted ones. `known` names the archives that cannot match under documented rules,
// with the reason; they must still differ, so the list stays current. Returns how many were compared.
inline int CheckCorpusFamily(const std::set<std::string>& formats, const std::map<std::string, std::string>& known,
                             const ListingCheck& check, const std::function<void(TArcLister&)>& prepare = {}) {
    int compared = 0;
    for (const CorpusFile& row : ReadCorpusManifest()) {
        if (!formats.count(row.format)) continue;
        const Listing listing = ListArchive((CorpusDir() / row.path).string(), prepare);
        if (row.malformed()) continue;
        const auto expected = ReadExpectedContents(row.path);
        if (!expected || !expected->trusted()) continue;
        const std::string differences = check(row, listing, *expected);
        if (const auto it = known.find(row.path); it != known.end()) {
            EXPECT_NE(differences, "") << row.path << " is listed as known (" << it->second << ") but matches";
            continue;
        }
        EXPECT_EQ(differences, "") << row.path;
        ++compared;
    }
    return compared;
}

}  // namespace kv::test
