// Add, Delete and Extract: the job records built from the component's settings, and the cases in which
// no job is run at all.
#include <gtest/gtest.h>

#include "fake_engine.h"
#include "support/zip_builder.h"
#include "zipmanager/zip_job.h"
#include "zm_probe.h"

namespace kv {
namespace {

using test::FakeEngines;

TEST(SpecLines, ParseRecursionAndPasswordMarks) {
    struct Case {
        const char* line;
        std::uint16_t job_recurse;
        const char* mask;
        std::int32_t encrypt;
        std::uint16_t recurse;
        const char* password;  // null: none in the line
    };
    const Case cases[] = {
        {"*.txt", 0, "*.txt", -1, 0, nullptr},
        {"  *.txt  ", 0xFFFF, "*.txt", -1, 0xFFFF, nullptr},
        {">*.txt", 0, "*.txt", -1, 0xFFFF, nullptr},
        {"|*.txt", 0xFFFF, "*.txt", -1, 0, nullptr},
        {"*.doc<", 0, "*.doc", 0, 0, nullptr},
        {"*.doc< ignored", 0, "*.doc", 0, 0, nullptr},
        {"*.doc<secret", 0, "*.doc", 0xFFFF, 0, "secret"},
        {" >docs/*.doc <p<w d ", 0, "docs/*.doc", 0xFFFF, 0xFFFF, "p<w d"},
        {"<alone", 0, "", 0xFFFF, 0, "alone"},
        {"> a b.txt", 0, "a b.txt", -1, 0xFFFF, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const TSpecLine parsed = ParseSpecLine(c.line, -1, c.job_recurse);
        EXPECT_EQ(parsed.FileSpec, c.mask);
        EXPECT_EQ(parsed.Encrypt, c.encrypt);
        EXPECT_EQ(parsed.Recurse, c.recurse);
        EXPECT_EQ(parsed.HasPassword, c.password != nullptr);
        if (c.password) {
            EXPECT_EQ(parsed.Password, c.password);
        }
    }
}

TEST(StoreSuffixes, AreNormalisedOnWriteAndListedInOrder) {
    const std::pair<const char*, const char*> texts[] = {
        {"mp3,OGG", ".mp3:.ogg:"}, {".MP3;wav:", ".mp3:.wav:"}, {"a b", ".a b:"}, {",,x,", ".x:"}, {"", ""}};
    for (const auto& [written, stored] : texts) EXPECT_EQ(NormaliseStoreSuffixes(written), stored) << written;

    const std::string defaults = ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar";
    EXPECT_EQ(StoreSuffixList(DefaultAddStoreSuffixes(), ""), defaults);
    EXPECT_EQ(StoreSuffixList(AddStoreExts{assEXE, assGIF}, ""), ".gif:.exe");
    EXPECT_EQ(StoreSuffixList(AddStoreExts{}, ""), "");

    TZipManager zm;
    zm.SetExtAddStoreSuffixes("mp3,OGG");
    EXPECT_EQ(zm.ExtAddStoreSuffixes(), ".mp3:.ogg:");
    EXPECT_TRUE(zm.AddStoreSuffixes().Has(assEXT));
    EXPECT_EQ(StoreSuffixList(zm.AddStoreSuffixes(), zm.ExtAddStoreSuffixes()), defaults + ":.mp3:.ogg");
    zm.SetExtAddStoreSuffixes("");
    EXPECT_FALSE(zm.AddStoreSuffixes().Has(assEXT));
}

TEST(AddEncryptMethod, ChoosesTheCipherStrength) {
    TZipManager zm;
    EXPECT_EQ(zm.AddEncryptMethod(), emZip_V2);
    const std::pair<TEncryptionMethod, std::int32_t> methods[] = {
        {emZip_V2, zasClassic}, {emAes1_128, zasAes128}, {emAes2_192, zasAes192}, {emAes1_256, zasAes256},
        {emAes2_256, zasAes256}};
    for (const auto& [method, strength] : methods) {
        EXPECT_TRUE(zm.SetAddEncryptMethod(method));
        EXPECT_EQ(AesStrengthOf(zm.AddEncryptMethod()), strength);
    }
    EXPECT_FALSE(zm.SetAddEncryptMethod(emPkAes2_256));
    EXPECT_FALSE(zm.SetAddEncryptMethod(emNone));
    EXPECT_EQ(zm.AddEncryptMethod(), emAes2_256);
}

class ZipJobs : public ::testing::Test {
protected:
    void SetUp() override {
        zm().SetDLLDirectory(FakeEngines::Directory());
        test::WriteFile(archive_, test::BuildZip({{.name = "a.txt", .data = "alpha"}, {.name = "b.txt", .data = "beta"}}));
    }
    TZipManager& zm() { return probe_.zm; }
    std::string Zip(const std::string& key) const { return fake_.Value(FakeEngines::Zip, "zip ", key); }
    std::string Unzip(const std::string& key) const { return fake_.Value(FakeEngines::Unzip, "unzip ", key); }
    bool ZipJobRan() const { return !fake_.Lines(FakeEngines::Zip, "zip ").empty(); }

    test::TempDir dir_;
    const std::filesystem::path archive_ = dir_ / "a.zip";
    FakeEngines fake_;
    test::TZipManagerProbe probe_;
};

TEST_F(ZipJobs, AddPassesEverySettingInTheRecord) {
    probe_.Open(archive_);
    zm().SetArchiveComment("kept");
    zm().SetAddOptions(AddOpts{AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddZipTime, AddForceDOS,
                               AddHiddenFiles, AddArchiveOnly, AddResetArchive, AddEncrypt, AddSeparateDirs, AddVolume,
                               AddFromDate, AddSafe});
    zm().SetAddCompLevel(4);
    zm().SetAddFrom(*EncodeDate(2024, 3, 15));
    zm().SetPassword("pw");
    zm().SetTrace(true);
    zm().SetTempDir(dir_.Path().string());
    zm().SetCodePage(cpOEM);
    zm().SetAddEncryptMethod(emAes2_256);
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Path());
    zm().SetRootDir("sub");
    zm().FSpecArgs().Add(">*.txt");
    zm().FSpecArgs().Add("|*.doc<");
    zm().FSpecArgs().Add("*.bin<other");
    zm().FSpecArgsExcl().Add("*.tmp");
    zm().Add();
    std::filesystem::current_path(cwd);

    const std::pair<const char*, std::string> fields[] = {
        {"Version", "176"}, {"Version2", "176"}, {"Check", "7"}, {"Handle", "null"}, {"Trace", "-1"},
        {"Verbose", "-1"}, {"Quiet", "-1"}, {"Password", "pw"}, {"Encrypt", "-1"}, {"HiddenFiles", "-1"},
        {"Volume", "-1"}, {"NoSeparateDirs", "0"}, {"FromDate", "-1"}, {"Level", "4"}, {"AesStrength", "3"},
        {"Threads", "0"}, {"JunkDirNames", "0"}, {"Recurse", "65535"}, {"NotSafe", "0"}, {"ForceDos", "-1"},
        {"Move", "-1"}, {"DeleteEntries", "0"}, {"Update", "-1"}, {"Freshen", "0"}, {"ZipTime", "-1"},
        {"FromDateText", "03"}, {"SpecCount", "3"}, {"ZipFileName", archive_.string()},
        {"TempDir", dir_.Path().string()}, {"ArchiveComment", "kept"}, {"ArchiveOnly", "1"}, {"ResetArchive", "1"},
        {"ExcludeCount", "1"}, {"AllowUndo", "-1"}, {"CodePage", "2"}, {"RootDir", (dir_ / "sub").string()},
        {"StoreSuffixes", ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar"},
    };
    for (const auto& [key, value] : fields) EXPECT_EQ(Zip(key), value) << key;
    EXPECT_NE(fake_.Lines(FakeEngines::Zip, "zip ")[0].find(" FromDateText=03 15 24 "), std::string::npos);
    EXPECT_EQ(fake_.Lines(FakeEngines::Zip, "line "),
              (std::vector<std::string>{"line *.txt|pw|-1|65535", "line *.doc|pw|0|0", "line *.bin|other|65535|65535"}));
    EXPECT_EQ(fake_.Lines(FakeEngines::Zip, "exclude "), std::vector<std::string>{"exclude *.tmp"});
    // The lines stay for the next operation.
    EXPECT_EQ(zm().FSpecArgs().Count(), 3);
}

TEST_F(ZipJobs, AddDefaultsLeaveTheOptionalFieldsEmpty) {
    zm().SetZipFileName(archive_.string());
    zm().SetHowToDelete(htdFinal);
    zm().FSpecArgs().Add("x");
    zm().Add();
    const std::pair<const char*, std::string> fields[] = {
        {"Password", "(null)"}, {"TempDir", "(null)"}, {"RootDir", "(null)"}, {"ArchiveComment", "(null)"},
        {"Encrypt", "0"}, {"NoSeparateDirs", "-1"}, {"JunkDirNames", "-1"}, {"NotSafe", "-1"}, {"Recurse", "0"},
        {"Level", "9"}, {"AesStrength", "0"}, {"AllowUndo", "0"}, {"CodePage", "0"}, {"Verbose", "0"},
        {"Trace", "0"}, {"Freshen", "0"}, {"Update", "0"}};
    for (const auto& [key, value] : fields) EXPECT_EQ(Zip(key), value) << key;
    EXPECT_EQ(fake_.Lines(FakeEngines::Zip, "line "), std::vector<std::string>{"line x|(null)|0|0"});
}

TEST_F(ZipJobs, FreshenOrUpdateWithoutLinesFreshensEverything) {
    zm().SetZipFileName(archive_.string());
    zm().SetAddOptions(AddOpts{AddFreshen, AddUpdate});
    zm().Add();
    EXPECT_EQ(Zip("Freshen"), "-1");
    EXPECT_EQ(Zip("Update"), "0");
    EXPECT_EQ(fake_.Lines(FakeEngines::Zip, "line "), std::vector<std::string>{"line *.*|(null)|0|0"});
    EXPECT_EQ(zm().FSpecArgs().Count(), 0);
    EXPECT_EQ(zm().AddOptions(), (AddOpts{AddFreshen, AddUpdate}));
}

TEST_F(ZipJobs, AddRefusesBeforeAnyJobRuns) {
    struct Case {
        const char* name;
        std::function<void(TZipManager&)> setup;
        int code;
        std::string text;
    };
    const std::string missing = (dir_ / "no" / "such").string();
    const Case cases[] = {
        {"no lines", [](TZipManager& zm) { zm.FSpecArgs().Clear(); }, 10301, "Error - no files to zip!"},
        {"no archive", [](TZipManager& zm) { zm.SetZipFileName(""); }, 10102, "Error - no zip file specified!"},
        {"no password", [](TZipManager& zm) { zm.SetAddOptions(AddOpts{AddEncrypt}); }, 10302,
         "Unattended action not possible without a password"},
        {"spanned freshen", [](TZipManager& zm) { zm.SetAddOptions(AddOpts{AddDiskSpan, AddFreshen}); }, 10303,
         "AddFreshen or AddUpdate not possible on a spanned archive"},
        {"spanned exe",
         [&](TZipManager& zm) {
             zm.SetZipFileName((dir_ / "setup.EXE").string());
             zm.SetAddOptions(AddOpts{AddDiskSpanErase});
         },
         11041, "Error - Self extracting archives(.exe) can not be spanned"},
        {"spanned", [](TZipManager& zm) { zm.SetAddOptions(AddOpts{AddDiskSpan}); }, 10309,
         "Writing a spanned zip file is not available yet"},
        {"new sfx", [&](TZipManager& zm) { zm.SetZipFileName((dir_ / "setup.exe").string()); }, 10304,
         "Error 10802 occurred during Auto SFX creation."},
        {"no folder", [&](TZipManager& zm) { zm.SetZipFileName(missing + "/a.zip"); }, 10308,
         "Destination directory '" + missing + "' must exist!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake_.ClearLog(FakeEngines::Zip);
        zm().SetAddOptions({});
        zm().SetZipFileName((dir_ / "new.zip").string());
        zm().FSpecArgs().Clear();
        zm().FSpecArgs().Add("x");
        c.setup(zm());
        EXPECT_EQ(zm().Add(), c.code);
        EXPECT_EQ(zm().Message(), c.text);
        EXPECT_FALSE(ZipJobRan());
    }
    // AddForceDest makes the missing folder.
    zm().SetZipFileName(missing + "/a.zip");
    zm().SetAddOptions(AddOpts{AddForceDest});
    EXPECT_EQ(zm().Add(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(missing));
    EXPECT_TRUE(ZipJobRan());
}

TEST_F(ZipJobs, AnOperationStartedFromAHandlerFindsTheComponentBusy) {
    zm().SetZipFileName(archive_.string());
    zm().FSpecArgs().Add("x");
    std::vector<int> nested;
    zm().OnTick = [&](TObject*) {
        nested = {zm().Add(), zm().Delete(), zm().Extract(), zm().Rename({{"a.txt", "c.txt"}})};
        zm().FSpecArgs().Add("refused");
    };
    fake_.Script(FakeEngines::Zip, {FakeEngines::Request(0)});
    EXPECT_EQ(zm().Add(), 0);
    EXPECT_EQ(nested, std::vector<int>(4, TZipManager::kNotReady));
    EXPECT_EQ(zm().FSpecArgs().Count(), 1);
    EXPECT_TRUE(zm().ReEntry());
}

TEST_F(ZipJobs, DeleteSendsTheLinesAsTheyStand) {
    probe_.Open(archive_);
    zm().SetAddOptions(AddOpts{AddEncrypt, AddRecurseDirs, AddMove, AddUpdate, AddFreshen});
    zm().FSpecArgs().Add(">a.txt<pw");
    zm().FSpecArgs().Add("b*");
    zm().FSpecArgsExcl().Add("*.tmp");
    fake_.Script(FakeEngines::Zip, {"result\t2"});
    const int updates = probe_.DirUpdates;
    EXPECT_EQ(zm().Delete(), 0);
    const std::pair<const char*, std::string> fields[] = {
        {"DeleteEntries", "-1"}, {"Encrypt", "0"}, {"JunkDirNames", "0"}, {"Recurse", "0"}, {"NotSafe", "0"},
        {"Move", "0"}, {"Update", "0"}, {"Freshen", "0"}, {"ExcludeCount", "0"}, {"ZipFileName", archive_.string()}};
    for (const auto& [key, value] : fields) EXPECT_EQ(Zip(key), value) << key;
    EXPECT_EQ(fake_.Lines(FakeEngines::Zip, "line "),
              (std::vector<std::string>{"line >a.txt<pw|(null)|0|0", "line b*|(null)|0|0"}));
    EXPECT_EQ(zm().SuccessCount(), 2);
    EXPECT_GT(probe_.DirUpdates, updates);  // read again after files were deleted
    EXPECT_EQ(zm().FSpecArgs().Count(), 2);
}

TEST_F(ZipJobs, DeleteRefusals) {
    EXPECT_EQ(zm().Delete(), 0);
    EXPECT_EQ(probe_.Codes(), std::vector<int>{10401});

    zm().FSpecArgs().Add("a.txt");
    zm().SetZipFileName((dir_ / "none.zip").string());
    EXPECT_EQ(zm().Delete(), 10102);

    // The last volume of a set.
    std::string zip = test::BuildZip({{.name = "a.txt", .data = "alpha"}});
    const std::size_t end = test::EndRecordAt(zip);
    test::Patch16(zip, end + 4, 1);
    test::Patch16(zip, end + 6, 1);
    test::WriteFile(dir_ / "set.zip", zip);
    zm().SetZipFileName((dir_ / "set.zip").string());
    EXPECT_EQ(zm().Delete(), 10402);
    EXPECT_EQ(zm().Message(), "Delete Files from archive is not implemented for a spanned zip file");
    EXPECT_FALSE(ZipJobRan());
}

TEST_F(ZipJobs, ExtractPassesItsSettingsAndEmptiesTheLines) {
    probe_.Open(archive_);
    fake_.Script(FakeEngines::Unzip, {"version\t200", "result\t2"});
    zm().SetPassword("pw");
    zm().SetPasswordReqCount(3);
    zm().SetExtrOptions(ExtrOpts{ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrForceDirs});
    zm().SetExtrBaseDir((dir_ / "out" / "deep").string());
    zm().FSpecArgs().Add("a.txt");
    zm().FSpecArgs().Add("*.*");
    EXPECT_EQ(zm().Extract(), 0);
    const std::pair<const char*, std::string> fields[] = {
        {"Version", "200"}, {"Check", "7"}, {"Handle", "null"}, {"Password", "pw"}, {"Test", "0"}, {"Quiet", "-1"},
        {"Verbose", "0"}, {"Update", "0"}, {"Freshen", "-1"}, {"DirNames", "-1"}, {"OverWrite", "-1"},
        {"SpecCount", "2"}, {"ZipFileName", archive_.string()}, {"PasswordReqCount", "3"},
        {"ExtractDir", (dir_ / "out" / "deep").string()}, {"NameCodePage", "(null)"}};
    for (const auto& [key, value] : fields) EXPECT_EQ(Unzip(key), value) << key;
    EXPECT_EQ(fake_.Lines(FakeEngines::Unzip, "line "), (std::vector<std::string>{"line a.txt", "line *.*"}));
    EXPECT_EQ(zm().SuccessCount(), 2);
    EXPECT_EQ(zm().FSpecArgs().Count(), 0);
}

// A code page chosen for the archive's names reaches the reading library; new names are not written in it
// (the writing library knows only the program's OEM code page), so they go as flagged UTF-8.
TEST_F(ZipJobs, TheChosenCodePageReadsNamesAndLeavesNewOnesUtf8) {
    probe_.Open(archive_);
    zm().SetCodePage(cpOEM);
    ASSERT_TRUE(zm().SetOemCodePage("866"));
    zm().FSpecArgs().Add("*.*");
    zm().Extract();
    EXPECT_EQ(Unzip("NameCodePage"), "866");
    zm().FSpecArgs().Add("x");
    zm().Add();
    EXPECT_EQ(Zip("CodePage"), "0");
}

TEST_F(ZipJobs, ExtractTestsEverythingWithoutAFolder) {
    probe_.Open(archive_);
    zm().SetExtrOptions(ExtrOpts{ExtrTest, ExtrUpdate, ExtrFreshen});
    zm().SetExtrBaseDir((dir_ / "missing").string());
    zm().FSpecArgs().Add("*.*");
    zm().FSpecArgs().Add("a.txt");
    // Nobody can give a password: the library may not ask.
    EXPECT_EQ(zm().Extract(), 10502);
    EXPECT_EQ(zm().Message(), "Warning - Unattended Extract: possible not all files extracted");
    const std::pair<const char*, std::string> fields[] = {{"Test", "-1"},          {"Update", "-1"},
                                                          {"Freshen", "0"},        {"SpecCount", "0"},
                                                          {"ExtractDir", "(null)"}, {"PasswordReqCount", "0"},
                                                          {"Password", ""}};
    for (const auto& [key, value] : fields) EXPECT_EQ(Unzip(key), value) << key;
    EXPECT_EQ(zm().PasswordReqCount(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
}

TEST_F(ZipJobs, ExtractRefusals) {
    probe_.Open(archive_);
    zm().SetPassword("pw");
    zm().SetExtrBaseDir((dir_ / "missing").string());
    zm().FSpecArgs().Add("a.txt");
    EXPECT_EQ(zm().Extract(), 10504);
    EXPECT_EQ(zm().Message(), "Extract directory '" + (dir_ / "missing").string() + "' must exist");
    EXPECT_EQ(zm().FSpecArgs().Count(), 0);

    test::WriteFile(dir_ / "empty.zip", test::BuildZip({}));
    probe_.Open(dir_ / "empty.zip");
    EXPECT_EQ(zm().Extract(), 11002);
    zm().SetZipFileName("");
    EXPECT_EQ(zm().Extract(), 10102);
    EXPECT_TRUE(fake_.Lines(FakeEngines::Unzip, "unzip ").empty());
}

}  // namespace
}  // namespace kv
