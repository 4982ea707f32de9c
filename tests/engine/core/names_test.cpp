#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/core/oem_names.h"
#include "platform/paths.h"

namespace kv {
namespace {

// Restores CP437 after tests that switch the code page.
class OemNames : public testing::Test {
protected:
    void TearDown() override { ASSERT_TRUE(SetOemCodePage("CP437")); }
};

TEST_F(OemNames, Cp437DecodesEveryByteAndEncodesBack) {
    struct Case {
        std::string oem;
        std::string utf8;
    };
    const Case cases[] = {
        {"\x82t\x82.txt", "\xC3\xA9t\xC3\xA9.txt"},            // été.txt
        {"\x8E\x99\x9A\xE1", "\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F"},  // ÄÖÜß
        {"\xC9\xCD\xBB\xB3\xC8\xCD\xBC", "\xE2\x95\x94\xE2\x95\x90\xE2\x95\x97\xE2\x94\x82\xE2\x95\x9A\xE2\x95\x90\xE2\x95\x9D"},  // ╔═╗│╚═╝
        {"plain ascii", "plain ascii"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OemToUtf8(c.oem), c.utf8);
        EXPECT_EQ(Utf8ToOem(c.utf8), c.oem);
    }

    // All 256 bytes decode, and back to the same bytes, so no two stored names can merge.
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string decoded = OemToUtf8(all);
    EXPECT_EQ(std::count(decoded.begin(), decoded.end(), '%'), 1);  // only byte 0x25 itself: nothing escaped
    EXPECT_EQ(Utf8ToOem(decoded), all);
}

TEST_F(OemNames, UnmappableCharactersBecomeUnderscores) {
    EXPECT_EQ(Utf8ToOem("a\xE2\x82\xAC" "b"), "a_b");        // the euro sign is not in CP437
    EXPECT_EQ(Utf8ToOem("\xF0\x9F\x98\x80.txt"), "_.txt");   // one character, one underscore
    EXPECT_EQ(Utf8ToOem("x\xFFy"), "x_y");                   // not UTF-8 at all
    EXPECT_EQ(Utf8ToOem("cut\xC3"), "cut_");                 // a sequence cut short
}

TEST_F(OemNames, StoredNamesGetTheProgramsDelimiter) {
    const std::string d(1, platform::kPathDelim);
    EXPECT_EQ(ConvertStoredName("dir/sub\\f\x82.txt", true), "dir" + d + "sub" + d + "f\xC3\xA9.txt");
    EXPECT_EQ(ConvertStoredName("dir/f\x82.txt", false), "dir" + d + "f\x82.txt");  // untranslated: bytes as they are
    EXPECT_EQ(ConvertStoredName("dir/f\xC3\xA9.txt", true, TNameOrigin::noUnicode), "dir" + d + "f\xC3\xA9.txt");

    EXPECT_EQ(ConvertNameForStore("dir" + d + "sub\\f\xC3\xA9.txt", true), "dir/sub/f\x82.txt");
    EXPECT_EQ(ConvertNameForStore("dir" + d + "f\xC3\xA9.txt", false), "dir/f\xC3\xA9.txt");
    EXPECT_EQ(ConvertNameForStore("f\xC3\xA9.txt", true, true), "f\xC3\xA9.txt");
}

// One rule for every reader: declared UTF-8, then the user's code page, then the origin.
TEST_F(OemNames, StoredNamesDecodeByDeclarationChoiceAndOrigin) {
    using enum TNameOrigin;
    const std::string gruesse = "Gr\xC3\xBC\xC3\x9F" "e.txt";           // Grüße.txt in UTF-8
    const std::string nihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";  // 日本語.txt in UTF-8
    const std::string privet866 = "\x8F\xE0\xA8\xA2\xA5\xE2";             // Привет in CP866
    const std::string privet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
    struct Case {
        std::string stored;
        TNameOrigin origin;
        std::string chosen;
        std::string shown;
    };
    const Case cases[] = {
        // Unix, macOS, TAR: valid UTF-8 is UTF-8; anything else is the OEM code page.
        {gruesse, noOther, "", gruesse},
        {nihongo, noOther, "", nihongo},
        {"Gr\x81\xE1" "e.txt", noOther, "", gruesse},  // the same name in CP437
        // MS-DOS and Windows hosts wrote OEM bytes, even when they happen to be valid UTF-8.
        {"\xC3\xA9", noDos, "", "\xE2\x94\x9C\xE2\x8C\x90"},  // ├⌐ in CP437
        // The user's code page decides for every undeclared name, whatever its origin.
        {privet866, noDos, "CP866", privet},
        {privet866, noOther, "866", privet},
        {"\xD0\x9F", noOther, "CP866", "\xE2\x95\xA8\xD0\xAF"},  // valid UTF-8 too, but the user said CP866
        // Declared UTF-8 wins over a chosen code page; its broken bytes are escaped one by one.
        {gruesse, noUnicode, "CP866", gruesse},
        {"bad\xFF\xC3.txt", noUnicode, "", "bad%FF%C3.txt"},
        {"\xC0\x80|\xED\xA0\x80|\xF4\x90\x80\x80", noUnicode, "",  // overlong, surrogate, past U+10FFFF
         "%C0%80|%ED%A0%80|%F4%90%80%80"},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeStoredName(c.stored, c.origin, c.chosen), c.shown) << c.stored;
}

TEST_F(OemNames, AnotherCodePage) {
    EXPECT_FALSE(SetOemCodePage("no-such-code-page"));
    EXPECT_EQ(OemCodePage(), "CP437");

    ASSERT_TRUE(SetOemCodePage("866"));
    EXPECT_EQ(OemCodePage(), "CP866");
    // "Привет" in CP866.
    const std::string cp866 = "\x8F\xE0\xA8\xA2\xA5\xE2";
    const std::string utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
    EXPECT_EQ(ConvertStoredName(cp866 + "/a", true), utf8 + platform::kPathDelim + "a");
    EXPECT_EQ(ConvertNameForStore(utf8, true), cp866);
}

TEST_F(OemNames, DoubleByteCodePageKeepsTrailBytesAndMarksBrokenOnes) {
    ASSERT_TRUE(SetOemCodePage("CP932"));
    // "ソ" is 0x83 0x5C in Shift-JIS: its second byte is "\" and must not split the name.
    EXPECT_EQ(ConvertStoredName("\x83\x5C/x", true), std::string("\xE3\x82\xBD") + platform::kPathDelim + "x");
    EXPECT_EQ(ConvertNameForStore("\xE3\x82\xBD", true), "\x83\x5C");
    // A lead byte without its trail byte cannot decode; it stays visible and distinct.
    EXPECT_EQ(OemToUtf8("a\x83"), "a%83");
    EXPECT_NE(OemToUtf8("a\x83"), OemToUtf8("a\x84"));
}

}  // namespace
}  // namespace kv
