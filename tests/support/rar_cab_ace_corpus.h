#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "support/listing.h"
#include "support/test_support.h"

namespace kv::test {

// Lists every corpus archive of the given formats: trusted expectations must match (names, sizes and,
// with `compare_crc`, CRC-32), every other archive must only list without crashing or hanging. Rows in
// `known` are listed but not compared, rows in `without_crc` are compared without their CRC-32; the
// values say why. Later volumes of a set are accepted as proposed.
inline void ListCorpusFamily(const std::set<std::string>& formats, bool compare_crc,
                             const std::map<std::string, std::string>& known,
                             const std::map<std::string, std::string>& without_crc = {}) {
    const auto rows = ReadCorpusManifest();
    if (rows.empty()) GTEST_SKIP() << "corpus absent";
    int compared = 0;
    for (const auto& row : rows) {
        if (formats.count(row.format) == 0) continue;
        SCOPED_TRACE(row.path);
        const Listing listing = ListArchive((CorpusDir() / row.path).string(), [](TArcLister& lister) {
            lister.OnNextVolume = [](TObject*, std::string&, int, bool, bool&) {};
        });
        EXPECT_TRUE(listing.activated);
        if (row.malformed() || known.count(row.path) != 0) continue;
        const auto expected = ReadExpectedContents(row.path);
        if (!expected || !expected->trusted()) continue;
        // Symbolic links are entries of these archives; the expected lists keep them apart.
        Listing without_links = listing;
        std::erase_if(without_links.entries, [&](const TEntryRecord& entry) {
            return std::any_of(expected->members.begin(), expected->members.end(), [&](const ExpectedMember& member) {
                return member.type == 'l' && member.path == entry.FileName;
            });
        });
        EXPECT_EQ(CompareWithExpected(without_links, *expected, compare_crc && without_crc.count(row.path) == 0), "");
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

}  // namespace kv::test
