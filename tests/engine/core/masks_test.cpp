#include <gtest/gtest.h>

#include <string>

#include "engine/core/masks.h"
#include "engine/core/text_case.h"

namespace kv {
namespace {

TEST(Masks, MatchTable) {
    struct Case {
        const char* name;
        const char* mask;
        bool expected;
    };
    const Case cases[] = {
        {"readme.txt", "*.TXT", true},
        {"a.txt", "a*?.txt", true},  // "?" after "*" adds nothing
        {"abc.txt", "a*?.txt", true},
        {"README", "*.", true},  // a mask ending with "." takes names without extension
        {"README.TXT", "*.", false},
        {"README.", "*.", true},
        {"readme.txt", "readme", false},
        {"abc", "a?c", true},
        {"ac", "a?c", false},
        {"abbc", "a?c", false},
        {"abc", "abc?", false},
        {"docs/a.txt", "*.txt", true},  // "*" crosses the delimiter
        {"docs/sub/a.txt", "docs/*", true},
        {"a.b.c", "*.c", true},
        {"mississippi", "m*iss*ppi", true},
        {"mississippi", "m*iss*ppx", false},
        {"aaa", "a*a*a", true},
        {"aa", "a*a*a", false},
        {"", "*", true},
        {"", "*?", true},
        {"", "?*", false},
        {"x", "?*", true},
        {"", "", true},
        {"a", "", false},
        {"\xC3\x84rger.TXT", "\xC3\xA4rger.*", true},  // Ärger.TXT against ärger.*: case beyond ASCII
        {"\xC3\xA9", "?", true},                        // "?" is one character, not one byte
        {"\xFF", "?", true},                            // a byte that is not UTF-8 still counts as one
        {"\xFF", "\xFE", false},
        // "*.*" is every name, with or without extension, as users mean it.
        {"README", "*.*", true},
        {"src/d/LICENSE", "*.*", true},
        {"a.txt", "*.*", true},
        {"", "*.*", true},
        {"Makefile", "**.**", true},
        {"README", "*.*.*", false},  // only "*.*" itself is widened
        {"README", "a*.*", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchMask(c.name, c.mask), c.expected) << '"' << c.name << "\" against \"" << c.mask << '"';
    }
}

TEST(Masks, ManyStarsAgainstALongNameFinishAtOnce) {
    // Trying every split of the name among the stars would take longer than the universe has left.
    const std::string name(200000, 'a');
    const std::string mask = "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b";
    EXPECT_FALSE(MatchMask(name, mask));
    EXPECT_TRUE(MatchMask(name + "b", mask));
}

TEST(Masks, CoversOnlyWhenEveryNameIsTakenToo) {
    struct Case {
        const char* general;
        const char* specific;
        bool expected;
    };
    const Case cases[] = {
        {"*.txt", "a*.txt", true},
        {"*.TXT", "a?.txt", true},
        {"a*.txt", "*.txt", false},
        {"a*c", "a?c", true},
        {"a?c", "a*c", false},  // "abbc" is taken by the specific mask only
        {"*", "*.", false},     // cannot tell: a "." ending changes what a mask takes
        {"*.", "*.", true},
        {"*.*", "README", true},
        {"*.txt", "*.*", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TInternalMask(c.general).Covers(TInternalMask(c.specific)), c.expected)
            << c.general << " covers " << c.specific;
    }
}

TEST(TextCase, ComparesIgnoringCaseAndKeepsInvalidBytes) {
    EXPECT_TRUE(SameText("Stra\xC3\x9F" "e.TXT", "stra\xC3\x9F" "e.txt"));
    EXPECT_LT(CompareText("apple", "BANANA"), 0);
    EXPECT_GT(CompareText("abc", "AB"), 0);
    EXPECT_EQ(UpperCaseText("a\xFF\xC3\xA9"), "A\xFF\xC3\x89");
    EXPECT_FALSE(SameText("\xC3", "\xC3\xA9"));
}

}  // namespace
}  // namespace kv
