#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>

#include "support/corpus_manifest.h"
#include "support/listing.h"
#include "support/test_support.h"

namespace kv::test {

// What the facade would show: the record keeps a leading delimiter, the facade removes it. Where the
// independent extractors agreed on everything but letter case, case is not compared either.
inline void NormaliseForComparison(Listing& listing, ExpectedContents& expected, bool ignore_case) {
    for (auto& entry : listing.entries) {
        if (!entry.FileName.empty() && entry.FileName.front() == '/') entry.FileName.erase(0, 1);
    }
    if (expected.status != "ok-case" && !ignore_case) return;
    const auto lower = [](std::string& text) {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    };
    for (auto& entry : listing.entries) lower(entry.FileName);
    for (auto& member : expected.members) lower(member.path);
}

// Lists every corpus archive of the given formats (LHA, ARJ, ARC, ZOO rows): each must list without
// crashing; those with trusted expectations must list exactly their files with their sizes (and CRC-32
// when `compare_crc`; letter case not when `ignore_case`). `known` names the rows that cannot match, with
// the reason. Later volumes of a
// multi-volume set are offered to the lister when it asks for them.
inline void CheckCorpusRows(const std::set<std::string>& formats, bool compare_crc,
                            const std::map<std::string, std::string>& known = {}, bool ignore_case = false) {
    const auto corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "corpus absent";
    int compared = 0;
    for (const CorpusFile& file : ReadCorpusManifest()) {
        if (!formats.count(file.format)) continue;
        SCOPED_TRACE(file.path);
        Listing listing = ListArchive((corpus / file.path).string(), [](TArcLister& lister) {
            lister.OnNextVolume = [](TObject*, std::string&, int, bool, bool&) {};
        });
        EXPECT_TRUE(listing.activated);
        auto expected = ReadExpectedContents(file.path);
        if (file.malformed() || !expected || !expected->trusted() || known.count(file.path)) continue;
        NormaliseForComparison(listing, *expected, ignore_case);
        EXPECT_EQ(CompareWithExpected(listing, *expected, compare_crc), "");
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

}  // namespace kv::test
