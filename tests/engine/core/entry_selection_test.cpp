#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/entry_selection.h"

namespace kv {
namespace {

struct SelectionCase {
    std::vector<std::string> file_spec;
    std::vector<std::string> exclude_spec;
    bool recurse;
    std::string name;
    bool selected;
    bool exclude_fired;
};

TEST(EntrySelection, ReadersRuleTable) {
    const SelectionCase cases[] = {
        {{"*.txt"}, {}, true, "docs/a.txt", true, false},
        {{"*.txt"}, {}, false, "docs/a.txt", false, false},
        {{"*.txt"}, {}, false, "a.txt", true, false},
        {{"docs/*"}, {}, true, "docs/sub/a.txt", true, false},
        {{"docs/*.txt"}, {}, false, "docs/a.txt", true, false},
        {{"docs/*.txt"}, {}, false, "docs/sub/a.txt", false, false},
        {{"DOCS/*.txt"}, {}, false, "docs/A.TXT", true, false},
        {{"README.TXT"}, {}, true, "readme.txt", true, false},
        {{"", "*.c"}, {}, true, "x.c", true, false},
        {{}, {"*"}, true, "x.c", false, false},  // nothing asked for: no exclusion reported either
        {{"*"}, {"*.bak"}, true, "a/b.bak", false, true},
        {{"*"}, {"*.bak"}, false, "a/b.bak", false, true},  // without recursion the whole name is tested
        {{"a/*"}, {"b*"}, false, "a/b.bak", true, false},
        {{"*"}, {"tmp/*"}, true, "tmp/x.c", false, true},  // a top-level directory too
        {{"*"}, {"tmp/*"}, true, "a/TMP/x.c", false, true},
        {{"*"}, {"tmp/*"}, true, "tmp2/x.c", true, false},  // whole directory names only
        {{"*"}, {"tmp/*"}, true, "tmp/", false, true},      // a directory entry needs only the directory
        {{"*"}, {"tmp/*.o"}, true, "a/tmp/sub/x.o", false, true},
        {{"*"}, {"tmp/*.o"}, true, "a/tmp/x.c", true, false},
        {{"*"}, {"tmp/*.o"}, false, "a/tmp/x.o", false, true},
        {{"tmp/sub/*"}, {"tmp/*.o"}, false, "tmp/sub/x.o", true, false},  // without recursion: the entry's own directory
        {{"*"}, {" ", ""}, true, "x", true, false},
        {{"*.*"}, {}, true, "./README", true, false},
        {{"*.*"}, {}, true, "v1.2/README", true, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> file_spec = c.file_spec;
        std::vector<std::string> excluded;
        const bool selected = SelectEntry(c.name, file_spec, c.exclude_spec, c.recurse,
                                          [&](const std::string& name) { excluded.push_back(name); });
        EXPECT_EQ(selected, c.selected) << c.name << (c.recurse ? " recursive" : " flat");
        EXPECT_EQ(excluded, c.exclude_fired ? std::vector<std::string>{c.name} : std::vector<std::string>{})
            << c.name;
    }
}

TEST(EntrySelection, PlainNameLineIsStoredBackWithDot) {
    std::vector<std::string> file_spec{"readme"};
    EXPECT_TRUE(SelectEntry("readme.", file_spec, {}, true, nullptr));
    EXPECT_EQ(file_spec, std::vector<std::string>{"readme."});
    // The stored form selects what the line did.
    EXPECT_TRUE(SelectEntry("README", file_spec, {}, true, nullptr));
    EXPECT_TRUE(SelectEntry("docs/readme", file_spec, {}, true, nullptr));
    EXPECT_FALSE(SelectEntry("readme.txt", file_spec, {}, true, nullptr));
}

TEST(EntrySelection, WildcardLineIsNotNarrowedByEarlierEntries) {
    std::vector<std::string> file_spec{"a*"};
    EXPECT_FALSE(SelectEntry("b.txt", file_spec, {}, true, nullptr));
    EXPECT_TRUE(SelectEntry("a.txt", file_spec, {}, true, nullptr));
    EXPECT_EQ(file_spec, std::vector<std::string>{"a*"});
}

TEST(EntrySelection, ListerRuleTable) {
    const SelectionCase cases[] = {
        {{"*.*"}, {}, true, "README", true, false},
        {{"*.*"}, {}, true, "docs/readme", true, false},
        {{"*.txt"}, {}, true, "docs/A.TXT", true, false},
        {{"*."}, {}, true, "README", true, false},
        {{"*."}, {}, true, "README.TXT", false, false},
        {{"x*", "*.c"}, {}, true, "a.c", true, false},
        {{"*.*"}, {"*.bak"}, true, "a/b.bak", false, true},
        {{"*.*"}, {"docs/*"}, true, "docs/a", false, true},
        {{"*.c"}, {"*.bak"}, true, "a/b.bak", false, false},  // not asked for: no exclusion reported
        {{}, {}, true, "a", false, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> excluded;
        const bool selected = ListerSelects(c.name, c.file_spec, c.exclude_spec,
                                            [&](const std::string& name) { excluded.push_back(name); });
        EXPECT_EQ(selected, c.selected) << c.name;
        EXPECT_EQ(excluded, c.exclude_fired ? std::vector<std::string>{c.name} : std::vector<std::string>{})
            << c.name;
    }
}

}  // namespace
}  // namespace kv
