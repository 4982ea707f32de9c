#include <unistd.h>

#include <optional>

#include "platform/registry.h"
#include "settings_fixture.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using namespace platform;
using SettingsTest = test::SettingsTest;

constexpr std::string_view kSettingsKey = "Software\\kavrel\\Config\\Settings";

TEST_F(SettingsTest, WithNoStoredChoiceTheUsersRegistryHoldsTypedValues) {
    auto settings = Create();
    EXPECT_TRUE(settings->UsesRegistry());
    EXPECT_EQ(settings->Root(), HKEY_CURRENT_USER);
    ASSERT_TRUE(settings->WriteString("Visual", "GridLines", "1"));
    ASSERT_TRUE(settings->WriteInteger("Settings", "View", -5));
    ASSERT_TRUE(settings->WriteBool("Settings", "SysTemp", false));
    ASSERT_TRUE(settings->WriteString("Directories", "ViewProg", std::string(300, 'v')));

    EXPECT_EQ(settings->ReadString("Visual", "GridLines", "0"), "1");
    EXPECT_EQ(settings->ReadInteger("Settings", "View", 2), -5);
    EXPECT_FALSE(settings->ReadBool("Settings", "SysTemp", true));
    EXPECT_EQ(settings->ReadString("Directories", "ViewProg", ""), "#not_availible#");
    EXPECT_EQ(settings->ReadString("Visual", "Missing", "dflt"), "dflt");
    EXPECT_EQ(settings->ReadInteger("Visual", "Missing", 42), 42);
    EXPECT_TRUE(settings->ReadBool("Visual", "Missing", true));

    // The documented layout, and the shell extension's name reaches the same values.
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\kavrel\\Config\\Visual", "GridLines"), "1");
    EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, "Software\\kavrel\\Config\\Settings", "SysTemp"), 0);
    const auto shellExtension = Create("Kavrel");
    EXPECT_EQ(shellExtension->ReadInteger("settings", "view", 0), -5);
}

TEST_F(SettingsTest, MachineWideValuesStandInForMissingUserValues) {
    const std::string key = "Software\\kavrel\\Config\\Compression";
    ASSERT_TRUE(RegWriteDWORD(HKEY_LOCAL_MACHINE, key, "zipCR", 7));
    ASSERT_TRUE(RegWriteDWORD(HKEY_LOCAL_MACHINE, key, "cabCR", 8));
    ASSERT_TRUE(RegWriteDWORD(HKEY_CURRENT_USER, key, "cabCR", 3));
    auto settings = Create();
    EXPECT_EQ(settings->ReadInteger("Compression", "zipCR", 0), 7);
    EXPECT_EQ(settings->ReadInteger("Compression", "cabCR", 0), 3);

    settings->SetRoot(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(settings->WriteInteger("Compression", "lhaCR", 4));
    EXPECT_EQ(RegReadDWORD(HKEY_LOCAL_MACHINE, key, "lhaCR"), 4);
    EXPECT_EQ(settings->ReadInteger("Compression", "cabCR", 0), 8);
    settings->SetRoot(0x12345678u);  // names no store: ignored
    EXPECT_EQ(settings->Root(), HKEY_LOCAL_MACHINE);
}

TEST_F(SettingsTest, CreateTakesTheStoreChoiceLeftBefore) {
    const fs::path custom = dir_ / "custom folder";
    const struct {
        const char* what;
        std::optional<std::uint32_t> registryMethod;
        std::optional<std::string> registryLocation;
        std::optional<std::string> programIni;
        bool registry;
        fs::path iniFile;
        std::string location;
    } cases[] = {
        {"registry choice wins over the program folder's copy", 1, std::nullopt,
         "[Settings]\nStoreMethod=2\n", true, {}, ""},
        {"INI in the user's configuration folder", 2, "AppData", std::nullopt, false,
         config_.User() / "kavrel" / "kavrel.ini", "AppData"},
        {"location from the program folder's copy", 2, std::nullopt,
         "[Settings]\nIniLocation=" + custom.string() + "\n", false, custom / "kavrel.ini", custom.string()},
        {"program folder's copy alone", std::nullopt, std::nullopt, "[Settings]\nStoreMethod=2\n", false,
         ProgramIni(), "appdir"},
        {"program folder's copy says registry", std::nullopt, std::nullopt, "[Settings]\nStoreMethod=1\n", true,
         {}, ""},
        {"unknown method", 7, std::nullopt, std::nullopt, true, {}, ""},
        {"a relative folder gives the program folder", 2, "relative/folder", std::nullopt, false, ProgramIni(),
         "relative/folder"},
        {"a folder that cannot be made gives the program folder", 2, (ProgramIni() / "sub").string(),
         "[Settings]\nStoreMethod=2\n", false, ProgramIni(), (ProgramIni() / "sub").string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(config_.User());
        fs::remove_all(custom);
        fs::remove(ProgramIni());
        if (c.registryMethod) {
            ASSERT_TRUE(RegWriteDWORD(HKEY_CURRENT_USER, kSettingsKey, "StoreMethod", *c.registryMethod));
        }
        if (c.registryLocation) {
            ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kSettingsKey, "IniLocation", *c.registryLocation));
        }
        if (c.programIni) test::WriteFile(ProgramIni(), *c.programIni);

        auto settings = Create();
        EXPECT_EQ(settings->UsesRegistry(), c.registry);
        EXPECT_EQ(settings->IniFileName(), c.iniFile.string());
        EXPECT_EQ(settings->IniLocation(), c.location);
        if (!c.registry) {
            EXPECT_TRUE(fs::is_regular_file(c.iniFile));  // created by the writability test
            EXPECT_TRUE(settings->WriteString("Visual", "RowSelect", "1"));
            EXPECT_EQ(settings->ReadString("Visual", "RowSelect", "0"), "1");
        }
        settings.reset();
    }
}

TEST_F(SettingsTest, SettingsRootChoosesTheHiveForRegistryMode) {
    const struct {
        const char* what;
        std::optional<std::uint32_t> user, machine;
        HKEY root;
    } cases[] = {
        {"user's choice", HKEY_LOCAL_MACHINE, std::nullopt, HKEY_LOCAL_MACHINE},
        {"machine-wide choice", std::nullopt, HKEY_LOCAL_MACHINE, HKEY_LOCAL_MACHINE},
        {"user's choice first", HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER},
        {"damaged value", 5, std::nullopt, HKEY_CURRENT_USER},
        {"nothing stored", std::nullopt, std::nullopt, HKEY_CURRENT_USER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(config_.User());
        fs::remove_all(config_.Machine());
        if (c.user) {
            ASSERT_TRUE(RegWriteDWORD(HKEY_CURRENT_USER, kSettingsKey, "SettingsRoot", *c.user));
        }
        if (c.machine) {
            ASSERT_TRUE(RegWriteDWORD(HKEY_LOCAL_MACHINE, kSettingsKey, "SettingsRoot", *c.machine));
        }
        EXPECT_EQ(Create()->Root(), c.root);
    }
}

TEST_F(SettingsTest, IniModeReadsTheUsersFileThenTheDefaultsBesideTheProgram) {
    const std::string defaults = "[Settings]\nStoreMethod=2\nIniLocation=appdata\n[Visual]\nGridLines=1\n"
                                 "[Compression]\ncabCR=2\nzipCR=abc\n";
    test::WriteFile(ProgramIni(), defaults);
    auto settings = Create();
    ASSERT_FALSE(settings->UsesRegistry());
    const fs::path userIni = config_.User() / "kavrel" / "kavrel.ini";
    EXPECT_EQ(settings->IniFileName(), userIni.string());
    EXPECT_TRUE(fs::is_directory(userIni.parent_path()));
    EXPECT_TRUE(settings->IniWritable());

    EXPECT_EQ(settings->ReadString("visual", "gridlines", "0"), "1");  // from the defaults
    EXPECT_EQ(settings->ReadInteger("Compression", "cabCR", 0), 2);
    EXPECT_EQ(settings->ReadInteger("Compression", "zipCR", 5), 0);     // there, but no number
    ASSERT_TRUE(settings->WriteString("Visual", "GridLines", "0"));
    ASSERT_TRUE(settings->WriteInteger("Compression", "cabCR", -1));
    ASSERT_TRUE(settings->WriteBool("Settings", "SysTemp", true));
    ASSERT_TRUE(settings->WriteString("Directories", "ViewProg", std::string(300, 'v')));
    EXPECT_EQ(settings->ReadString("Visual", "GridLines", "1"), "0");
    EXPECT_EQ(settings->ReadInteger("Compression", "cabCR", 0), -1);
    EXPECT_TRUE(settings->ReadBool("Settings", "SysTemp", false));
    EXPECT_EQ(settings->ReadString("Directories", "ViewProg", ""), std::string(300, 'v'));
    EXPECT_EQ(test::ReadFile(ProgramIni()), defaults);  // the defaults are only read
    EXPECT_NE(test::ReadFile(userIni).find("[Settings]\nSysTemp=1\n"), std::string::npos);
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\kavrel\\Config\\Visual", "GridLines"), "");

    // The shell extension's spelling of the name reaches the same files.
    const auto shellExtension = Create("Kavrel");
    EXPECT_EQ(shellExtension->IniFileName(), userIni.string());
    EXPECT_EQ(shellExtension->ReadInteger("Compression", "cabCR", 0), -1);
}

TEST_F(SettingsTest, TheStoreChoiceIsKeptWhenTheStoreIsDestroyed) {
    auto settings = Create();
    settings->SetStoreMethod(false);
    settings->SetIniLocation("appdata");
    ASSERT_TRUE(settings->WriteString("Visual", "RowSelect", "1"));
    settings.reset();

    EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, kSettingsKey, "StoreMethod"), 2);
    EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, kSettingsKey, "SettingsRoot"), 0x80000001);
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kSettingsKey, "IniLocation"), "appdata");
    EXPECT_EQ(test::ReadFile(ProgramIni()), "[Settings]\nStoreMethod=2\nIniLocation=appdata\n");

    settings = Create();
    EXPECT_FALSE(settings->UsesRegistry());
    EXPECT_EQ(settings->ReadString("Visual", "RowSelect", "0"), "1");
    settings->SetStoreMethod(true);
    settings->SetRoot(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(settings->ReadString("Visual", "RowSelect", "0"), "0");  // values are not carried over
    settings.reset();

    EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, kSettingsKey, "StoreMethod"), 1);
    EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, kSettingsKey, "SettingsRoot"), 0x80000002);
    EXPECT_EQ(test::ReadFile(ProgramIni()), "[Settings]\nStoreMethod=1\nIniLocation=appdata\n");
    settings = Create();
    EXPECT_TRUE(settings->UsesRegistry());
    EXPECT_EQ(settings->Root(), HKEY_LOCAL_MACHINE);
}

TEST_F(SettingsTest, AnUnwritableIniFileMakesWritesNoOpsWhileReadsWork) {
    // A program folder that cannot exist: neither its INI file nor a fallback can be written.
    test::WriteFile(dir_ / "file", "not a folder");
    ASSERT_TRUE(RegWriteDWORD(HKEY_CURRENT_USER, kSettingsKey, "StoreMethod", 2));
    {
        TkvSettings settings("kavrel", (dir_ / "file" / "program").string());
        EXPECT_FALSE(settings.UsesRegistry());
        EXPECT_FALSE(settings.IniWritable());
        EXPECT_FALSE(settings.WriteString("Visual", "RowSelect", "1"));
        EXPECT_FALSE(settings.WriteInteger("Settings", "View", 1));
        EXPECT_EQ(settings.ReadString("Visual", "RowSelect", "0"), "0");
        settings.SetStoreMethod(true);
        EXPECT_TRUE(settings.WriteString("Visual", "RowSelect", "1"));  // the registry still works
    }
    EXPECT_EQ(RegReadDWORD(HKEY_CURRENT_USER, kSettingsKey, "StoreMethod"), 1);
}

TEST_F(SettingsTest, IsWritableCreatesAMissingFileWhereItCan) {
    test::WriteFile(dir_ / "existing.ini", "[S]\n");
    fs::create_directory(dir_ / "folder.ini");
    EXPECT_TRUE(TkvSettings::IsWritable((dir_ / "existing.ini").string()));
    EXPECT_TRUE(TkvSettings::IsWritable((dir_ / "missing.ini").string()));
    EXPECT_TRUE(fs::is_regular_file(dir_ / "missing.ini"));
    EXPECT_EQ(fs::file_size(dir_ / "missing.ini"), 0u);
    EXPECT_FALSE(TkvSettings::IsWritable((dir_ / "existing.ini" / "x.ini").string()));
    EXPECT_FALSE(TkvSettings::IsWritable((dir_ / "folder.ini").string()));
    if (::geteuid() != 0) {  // permissions do not bind the superuser
        fs::permissions(dir_ / "existing.ini", fs::perms::owner_read);
        EXPECT_FALSE(TkvSettings::IsWritable((dir_ / "existing.ini").string()));
    }
}

TEST_F(SettingsTest, TheProgramRecordsItsPathUnderTheRoot) {
    auto settings = Create();
    ASSERT_TRUE(settings->RecordProgramPath("/opt/kavrel/bin/kavrel"));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Kavrel", "App"), "/opt/kavrel/bin/kavrel");
    settings->SetRoot(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(settings->RecordProgramPath("/usr/bin/kavrel"));
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "Software\\kavrel", "App"), "/usr/bin/kavrel");
}

}  // namespace
}  // namespace kv
