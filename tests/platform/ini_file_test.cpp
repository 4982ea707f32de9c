#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/ini_file.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using platform::TIniFile;

class IniFileTest : public ::testing::Test {
protected:
    fs::path File() const { return dir_ / "test.ini"; }

    test::TempDir dir_;
};

TEST_F(IniFileTest, LookupsFollowTheProfileRules) {
    test::WriteFile(File(),
                    "orphan=before any section\n"
                    "[Visual]\n"
                    "  RowSelect = 1  \n"
                    "; Comment=not a key\n"
                    "Quoted=\"  padded  \"\n"
                    "Single='x'\n"
                    "Unbalanced=\"open\n"
                    "Empty=\n"
                    "Equals=a=b\n"
                    "no equals sign here\n"
                    "RowSelect=second of its name\n"
                    "[  visual  ]\n"
                    "Later=second section of the name\n"
                    "[Other]\n"
                    "Key=other\n");
    const TIniFile ini(File().string());
    const struct {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    } cases[] = {
        {"Visual", "RowSelect", "1"},   {"VISUAL", "rowselect", "1"},  {" visual ", " RowSelect ", "1"},
        {"Visual", "Quoted", "  padded  "},  {"Visual", "Single", "x"},    {"Visual", "Unbalanced", "\"open"},
        {"Visual", "Empty", ""},        {"Visual", "Equals", "a=b"},   {"Visual", "; Comment", std::nullopt},
        {"Visual", "orphan", std::nullopt}, {"Visual", "Later", std::nullopt}, {"Other", "key", "other"},
        {"Missing", "Key", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + " / " + c.key);
        EXPECT_EQ(ini.ValueExists(c.section, c.key), c.value.has_value());
        EXPECT_EQ(ini.ReadString(c.section, c.key, "default"), c.value.value_or("default"));
    }
    EXPECT_TRUE(ini.SectionExists("other"));
    EXPECT_FALSE(ini.SectionExists("Missing"));
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"Visual", "visual", "Other"}));
    EXPECT_EQ(ini.KeyNames("visual"),
              (std::vector<std::string>{"RowSelect", "Quoted", "Single", "Unbalanced", "Empty", "Equals", "RowSelect"}));
}

TEST_F(IniFileTest, NumbersAndBooleansFollowTheProfileRules) {
    test::WriteFile(File(),
                    "[N]\nplain=12\nspaced=  -7 \nplus=+3\nhex=0x1F\ntrailing=12abc\nword=abc\nempty=\n"
                    "huge=99999999999\nminimum=-2147483648\nquoted=\"5\"\ndouble=--5\n");
    const TIniFile ini(File().string());
    const struct {
        const char* key;
        int number;
        bool flag;
    } cases[] = {
        {"plain", 12, true}, {"spaced", -7, true},   {"plus", 3, true},    {"hex", 31, true},
        {"trailing", 12, true}, {"word", 0, false},   {"empty", 0, false},  {"huge", 0, false},
        {"minimum", -2147483647 - 1, true}, {"quoted", 5, true}, {"double", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.ReadInteger("N", c.key, 99), c.number);
        EXPECT_EQ(ini.ReadBool("N", c.key, true), c.flag);
    }
    EXPECT_EQ(ini.ReadInteger("N", "missing", 99), 99);
    EXPECT_TRUE(ini.ReadBool("N", "missing", true));
    EXPECT_FALSE(ini.ReadBool("N", "missing", false));
}

TEST_F(IniFileTest, WritingOneValueKeepsEveryOtherLineAsItWas) {
    test::WriteFile(File(),
                    "\xEF\xBB\xBF; language file\r\n"
                    "[Main]\r\n"
                    "  Caption = Old  \r\n"
                    "Second=2\r\n"
                    "; trailing comment\r\n"
                    "\r\n"
                    "[Empty]\r\n");
    TIniFile ini(File().string());
    ASSERT_TRUE(ini.WriteString("MAIN", "caption", "New"));
    ASSERT_TRUE(ini.WriteInteger("main", "Third", -3));
    ASSERT_TRUE(ini.WriteBool("Empty", "Flag", true));
    ASSERT_TRUE(ini.WriteBool("Added", "Flag", false));
    EXPECT_EQ(test::ReadFile(File()),
              "\xEF\xBB\xBF; language file\r\n"
              "[Main]\r\n"
              "Caption=New\r\n"
              "Second=2\r\n"
              "Third=-3\r\n"
              "; trailing comment\r\n"
              "\r\n"
              "[Empty]\r\n"
              "Flag=1\r\n"
              "\r\n"
              "[Added]\r\n"
              "Flag=0\r\n");
    EXPECT_EQ(ini.ReadInteger("Main", "Third", 0), -3);
}

TEST_F(IniFileTest, AwkwardValuesComeBackAndWhatNoLineCanHoldIsRefused) {
    TIniFile ini((dir_ / "new.ini").string());
    for (const std::string value : {"  padded  ", "\"quoted\"", "'single'", "\"", "", "a = b ; c",
                                    "\xC3\xA9t\xC3\xA9"}) {
        ASSERT_TRUE(ini.WriteString("S", "Key", value)) << value;
        EXPECT_EQ(ini.ReadString("S", "Key", "default"), value);
    }
    const std::string before = test::ReadFile(dir_ / "new.ini");
    EXPECT_FALSE(ini.WriteString("S", "Key", "two\nlines"));
    EXPECT_FALSE(ini.WriteString("S", "Key=", "x"));
    EXPECT_FALSE(ini.WriteString("S", " ", "x"));
    EXPECT_FALSE(ini.WriteString("S]", "Key", "x"));
    EXPECT_FALSE(ini.WriteString("S", "Key\r", "x"));
    EXPECT_EQ(test::ReadFile(dir_ / "new.ini"), before);
}

TEST_F(IniFileTest, ChangesMadeThroughAnotherObjectAreSeenAtOnce) {
    TIniFile reader(File().string());
    TIniFile writer(File().string());
    EXPECT_EQ(reader.ReadString("S", "Key", "none"), "none");
    ASSERT_TRUE(writer.WriteString("S", "Key", "first"));
    EXPECT_EQ(reader.ReadString("S", "Key", "none"), "first");
    ASSERT_TRUE(writer.WriteString("S", "Key", "other"));  // same size: the replaced file gives it away
    EXPECT_EQ(reader.ReadString("S", "Key", "none"), "other");
    fs::remove(File());
    EXPECT_EQ(reader.ReadString("S", "Key", "none"), "none");
}

TEST_F(IniFileTest, DamagedOrUnusableFilesReadAsEmptyAndAreNotReplaced) {
    std::string garbage("[\0\xff\n=\n[S\n\0\0=\0\n", 14);
    for (int i = 0; i < 2000; ++i) garbage += static_cast<char>((i * 131) & 0xff);
    test::WriteFile(File(), garbage);
    TIniFile damaged(File().string());
    EXPECT_EQ(damaged.ReadString("S", "Key", "default"), "default");
    EXPECT_TRUE(damaged.WriteString("S", "Key", "value"));
    EXPECT_EQ(damaged.ReadString("S", "Key", "default"), "value");

    fs::create_directory(dir_ / "folder.ini");
    TIniFile folder((dir_ / "folder.ini").string());
    EXPECT_EQ(folder.ReadInteger("S", "Key", 7), 7);
    EXPECT_FALSE(folder.WriteInteger("S", "Key", 1));
    EXPECT_TRUE(fs::is_directory(dir_ / "folder.ini"));

    test::WriteFile(dir_ / "plain", "a file, not a folder");
    TIniFile nowhere((dir_ / "plain" / "x.ini").string());
    EXPECT_FALSE(nowhere.WriteString("S", "Key", "value"));
    EXPECT_FALSE(nowhere.ValueExists("S", "Key"));
}

TEST_F(IniFileTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kValues = 40;
    const auto writer = [&](const char* section) {
        return [this, section] {
            TIniFile ini(File().string());
            bool ok = true;
            for (int i = 0; i < kValues; ++i) ok &= ini.WriteInteger(section, "Key" + std::to_string(i), i);
            return ok;
        };
    };
    const pid_t first = test::StartChild(writer("First"));
    const pid_t second = test::StartChild(writer("Second"));
    ASSERT_TRUE(test::ChildSucceeded(first));
    ASSERT_TRUE(test::ChildSucceeded(second));
    const TIniFile ini(File().string());
    for (int i = 0; i < kValues; ++i) {
        EXPECT_EQ(ini.ReadInteger("First", "Key" + std::to_string(i), -1), i);
        EXPECT_EQ(ini.ReadInteger("Second", "Key" + std::to_string(i), -1), i);
    }
}

}  // namespace
}  // namespace kv
