#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "support/child_process.h"
#include "support/config_env.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using namespace platform;

constexpr std::string_view kKey = "Software\\kavrel\\Config\\Visual";

class RegistryTest : public ::testing::Test {
protected:
    fs::path UserHive() const { return config_.User() / "kavrel" / "registry" / "HKEY_CURRENT_USER.reg"; }

    test::TempDir dir_;
    test::ScopedConfigDirs config_{dir_.Path()};
};

TEST_F(RegistryTest, TypedValuesComeBackAndTheFileIsRegedit4Text) {
    const std::string awkward = "C:\\Temp\\ \"quoted\"\nsecond line\r\x01 \xC3\xA9t\xC3\xA9";
    const std::vector<std::uint8_t> bytes = {0x00, 0x01, 0x7f, 0xff};
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kKey, "Text", awkward));
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kKey, "", "default value"));
    ASSERT_TRUE(RegWriteDWORD(HKEY_CURRENT_USER, kKey, "Ten", 10));
    ASSERT_TRUE(RegWriteDWORD(HKEY_CURRENT_USER, kKey, "Max", 0xFFFFFFFFu));
    ASSERT_TRUE(RegWriteBool(HKEY_CURRENT_USER, kKey, "On", true));
    ASSERT_TRUE(RegWriteBool(HKEY_CURRENT_USER, kKey, "Off", false));
    ASSERT_TRUE(RegWriteBinary(HKEY_CURRENT_USER, kKey, "Blob", bytes));
    ASSERT_TRUE(RegWriteBinary(HKEY_CURRENT_USER, kKey, "Empty", {}));

    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "Text"), awkward);
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, ""), "default value");
    EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, kKey, "Ten"), 10);
    EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, kKey, "Max"), 0xFFFFFFFFll);
    EXPECT_TRUE(RegReadBool(HKEY_CURRENT_USER, kKey, "On"));
    EXPECT_FALSE(RegReadBool(HKEY_CURRENT_USER, kKey, "Off"));
    EXPECT_EQ(RegReadValue(HKEY_CURRENT_USER, kKey, "Blob")->Bytes, bytes);
    EXPECT_TRUE(RegReadValue(HKEY_CURRENT_USER, kKey, "Empty")->Bytes.empty());

    const std::string text = test::ReadFile(UserHive());
    EXPECT_EQ(text.rfind("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\kavrel\\Config\\Visual]\n", 0), 0u) << text;
    for (const char* line : {"\"Text\"=\"C:\\\\Temp\\\\ \\\"quoted\\\"\\nsecond line\\r\x01 ", "@=\"default value\"\n",
                             "\"Ten\"=dword:0000000a\n", "\"Max\"=dword:ffffffff\n", "\"On\"=dword:00000001\n",
                             "\"Blob\"=hex:00,01,7f,ff\n", "\"Empty\"=hex:\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
}

TEST_F(RegistryTest, KeysAndValueNamesMatchWhateverTheirCaseAndKeepTheFirstSpelling) {
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, "Software\\Kavrel\\ShellExtension", "ShowIcons", "1"));
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, "\\SOFTWARE\\kavrel\\shellextension\\", "SHOWICONS", "2"));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "software\\KAVREL\\ShellExtension", "showicons"), "2");
    const std::string text = test::ReadFile(UserHive());
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Kavrel\\ShellExtension]\n\"ShowIcons\"=\"2\"\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("SHOWICONS"), std::string::npos) << text;
    EXPECT_EQ(text.find("shellextension"), std::string::npos) << text;
}

TEST_F(RegistryTest, ReadPrimitivesFollowTheirRulesForMissingOddAndLongValues) {
    const std::string longest(255, 'x');
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kKey, "Longest", longest));
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kKey, "TooLong", std::string(256, 'y')));
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kKey, "Long", std::string(300, 'z')));
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kKey, "Zero", std::string("ab\0cd", 5)));
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kKey, "One", "1"));
    ASSERT_TRUE(RegWriteDWORD(HKEY_CURRENT_USER, kKey, "Two", 2));

    const struct {
        std::string_view key, value;
        std::string text;
        std::int64_t dword;
        bool flag;
    } cases[] = {
        {"Software\\Nowhere", "Longest", "", -1, false},            // missing key: empty text
        {kKey, "Missing", std::string(kNotAvailable), -1, false},   // missing value: the marker
        {kKey, "Longest", longest, -1, false},                      // 255 characters fit the buffer
        {kKey, "TooLong", std::string(kNotAvailable), -1, false},   // the terminating zero does not
        {kKey, "Long", std::string(kNotAvailable), -1, false},
        {kKey, "Zero", "ab", -1, false},                            // text ends at a zero byte
        {kKey, "One", "1", -1, false},                              // a string is no DWORD or Boolean
        {kKey, "Two", std::string(kNotAvailable), 2, false},        // a DWORD is no string; only 1 is True
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " / " + std::string(c.value));
        EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, c.key, c.value), c.text);
        EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, c.key, c.value), c.dword);
        EXPECT_EQ(RegReadBool(HKEY_CURRENT_USER, c.key, c.value), c.flag);
    }
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kKey, "two"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kKey, "Missing"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, "Software\\Nowhere", "Two"));
}

TEST_F(RegistryTest, EachHiveHasItsOwnFileAndTheMachineHiveLiesInTheSystemConfigFolder) {
    EXPECT_EQ(HiveFileName(HKEY_CURRENT_USER), UserHive().string());
    EXPECT_EQ(HiveFileName(HKEY_CLASSES_ROOT), (config_.User() / "kavrel/registry/HKEY_CLASSES_ROOT.reg").string());
    EXPECT_EQ(HiveFileName(HKEY_LOCAL_MACHINE),
              (config_.Machine() / "kavrel/registry/HKEY_LOCAL_MACHINE.reg").string());
    EXPECT_EQ(HiveFileName(0x80000005u), "");

    ASSERT_TRUE(RegWriteDWORD(HKEY_LOCAL_MACHINE, kKey, "Where", 2));
    ASSERT_TRUE(RegWriteDWORD(HKEY_CLASSES_ROOT, ".zip", "", 3));
    EXPECT_EQ(RegReadDWORD(HKEY_LOCAL_MACHINE, kKey, "Where"), 2);
    EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, kKey, "Where"), -1);
    EXPECT_EQ(RegReadDWORD(HKEY_CLASSES_ROOT, ".ZIP", ""), 3);
    EXPECT_FALSE(RegWriteDWORD(0x80000005u, kKey, "Where", 1));
    EXPECT_EQ(RegReadDWORD(0x80000005u, kKey, "Where"), -1);
}

TEST_F(RegistryTest, HandWrittenFilesAreReadAndDamagedLinesSkipped) {
    fs::create_directories(UserHive().parent_path());
    test::WriteFile(UserHive(),
                    "\xEF\xBB\xBFREGEDIT4\r\n\r\n"
                    "; a comment\r\n"
                    "\"Orphan\"=\"before any key\"\r\n"
                    "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                    "\"Good\" = \"yes\"\r\n"
                    "\"Blob\"=hex:01,02,\\\r\n"
                    "  03,04\r\n"
                    "\"Unclosed\"=\"no end\r\n"
                    "\"BadDword\"=dword:xyz\r\n"
                    "\"BadHex\"=hex:1,zz\r\n"
                    "\"Expand\"=hex(2):41,00\r\n"
                    "garbage line\r\n"
                    "\"Num\"=dword:0000ffff\r\n"
                    "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
                    "\"Other\"=\"another hive\"\r\n"
                    "[HKEY_CURRENT_USER\\Software\\Broken\r\n"
                    "\"Lost\"=\"under a broken header\"\r\n"
                    "[-HKEY_CURRENT_USER\\Software\\Test]\r\n"
                    "\"Gone\"=\"under a deletion\"\r\n");
    const char* key = "Software\\Test";
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, key, "Good"), "yes");
    EXPECT_EQ(RegReadValue(HKEY_CURRENT_USER, key, "Blob")->Bytes, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, key, "Num"), 0xffff);
    for (const char* missing : {"Orphan", "Unclosed", "BadDword", "BadHex", "Expand", "Other", "Lost", "Gone"}) {
        EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, key, missing)) << missing;
    }
    // A write keeps what could be read.
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, key, "New", "value"));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, key, "Good"), "yes");
    EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, key, "Num"), 0xffff);
}

TEST_F(RegistryTest, BinaryGarbageReadsAsEmptyAndAnUnreadableOrHugeHiveIsNeverOverwritten) {
    fs::create_directories(UserHive().parent_path());
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) & 0xff);
    test::WriteFile(UserHive(), garbage);
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "Any"), "");
    EXPECT_TRUE(RegWriteString(HKEY_CURRENT_USER, kKey, "Any", "fresh"));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "Any"), "fresh");

    // A folder where the machine hive should be: nothing to read, and no write may replace it.
    const std::string machine = HiveFileName(HKEY_LOCAL_MACHINE);
    fs::create_directories(machine);
    EXPECT_EQ(RegReadDWORD(HKEY_LOCAL_MACHINE, kKey, "Any"), -1);
    EXPECT_FALSE(RegWriteDWORD(HKEY_LOCAL_MACHINE, kKey, "Any", 1));
    EXPECT_TRUE(fs::is_directory(machine));

    // A hive far larger than settings ever grow is not ours: not read, not replaced.
    const std::string classes = HiveFileName(HKEY_CLASSES_ROOT);
    test::WriteFile(classes, "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\.zip]\n@=\"kavrel.zip\"\n");
    fs::resize_file(classes, 17 * 1024 * 1024);
    EXPECT_EQ(RegReadString(HKEY_CLASSES_ROOT, ".zip", ""), "");
    EXPECT_FALSE(RegWriteString(HKEY_CLASSES_ROOT, ".zip", "", "other"));
    EXPECT_EQ(fs::file_size(classes), 17u * 1024 * 1024);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kValues = 40;
    const auto writer = [&](const char* prefix) {
        return [prefix] {
            bool ok = true;
            for (int i = 0; i < kValues; ++i) {
                ok &= RegWriteDWORD(HKEY_CURRENT_USER, kKey, prefix + std::to_string(i), static_cast<std::uint32_t>(i));
            }
            return ok;
        };
    };
    const pid_t first = test::StartChild(writer("first"));
    const pid_t second = test::StartChild(writer("second"));
    ASSERT_TRUE(test::ChildSucceeded(first));
    ASSERT_TRUE(test::ChildSucceeded(second));
    for (int i = 0; i < kValues; ++i) {
        EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, kKey, "first" + std::to_string(i)), i);
        EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, kKey, "second" + std::to_string(i)), i);
    }
}

}  // namespace
}  // namespace kv
