// What add, update, freshen, move and delete jobs make of an existing archive.
#include <sys/stat.h>
#include <sys/time.h>

#include <cstring>
#include <set>

#include "zipeng_fixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

void SetModTime(const fs::path& file, std::time_t when) {
    const struct timeval times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimes(file.c_str(), times), 0);
}

// The entries' contents as unzip extracts them.
std::map<std::string, std::string> Extracted(const fs::path& archive) {
    TempDir dest;
    EXPECT_EQ(RunCommand("unzip -q " + Quoted(archive) + " -d " + Quoted(dest.Path())), 0);
    return TreeContents(dest.Path());
}

constexpr std::time_t kOld = 1500000000;
constexpr std::time_t kNew = 1600000000;

// The archive holds "newer.txt" (its file is newer now), "older.txt" (its file is older), "gone.txt"
// (no file any more); the folder also has a new file "fresh.txt".
struct SemanticsCase {
    const char* Name;
    bool Update;
    bool Freshen;
    bool Move;
    std::set<std::string> FromDisk;  // entries that now hold the file's new content
    std::int32_t Added;
};

class ZipEngSemantics : public ::testing::TestWithParam<SemanticsCase> {};

TEST_P(ZipEngSemantics, ReplaceAndAddAsTheModeSays) {
    const SemanticsCase& c = GetParam();
    TempDir dir;
    const fs::path src = dir / "src";
    fs::create_directories(src);
    for (const char* name : {"newer.txt", "older.txt", "gone.txt"}) {
        WriteFile(src / name, std::string("archived ") + name);
        SetModTime(src / name, kNew - 1000);
    }
    ZipEngJob first(dir / "a.zip");
    first.RootDir(src).Pattern("*");
    ASSERT_EQ(first.Run(), 3);

    fs::remove(src / "gone.txt");
    for (const char* name : {"newer.txt", "older.txt", "fresh.txt"}) WriteFile(src / name, std::string("disk ") + name);
    SetModTime(src / "newer.txt", kNew);
    SetModTime(src / "older.txt", kOld);
    SetModTime(src / "fresh.txt", kNew);

    ZipEngJob job(dir / "a.zip");
    job.RootDir(src).Pattern("*");
    job.Command.Update = c.Update ? -1 : 0;
    job.Command.Freshen = c.Freshen ? -1 : 0;
    job.Command.Move = c.Move ? -1 : 0;
    EXPECT_EQ(job.Run(), c.Added);

    std::map<std::string, std::string> expected;
    for (const char* name : {"newer.txt", "older.txt", "gone.txt"}) expected[name] = std::string("archived ") + name;
    for (const std::string& name : c.FromDisk) expected[name] = "disk " + name;
    EXPECT_EQ(Extracted(dir / "a.zip"), expected);
    for (const char* name : {"newer.txt", "older.txt", "fresh.txt"}) {
        const bool moved = c.Move && c.FromDisk.count(name) != 0;
        EXPECT_EQ(fs::exists(src / name), !moved) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ZipEngSemantics,
    ::testing::Values(SemanticsCase{"Add", false, false, false, {"newer.txt", "older.txt", "fresh.txt"}, 3},
                      SemanticsCase{"Update", true, false, false, {"newer.txt", "fresh.txt"}, 2},
                      SemanticsCase{"Freshen", false, true, false, {"newer.txt"}, 1},
                      SemanticsCase{"Move", false, false, true, {"newer.txt", "older.txt", "fresh.txt"}, 3},
                      SemanticsCase{"MoveFreshen", false, true, true, {"newer.txt"}, 1}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ZipEngMove, RemovesFolderEntriesOnlyWhenEmptied) {
    TempDir dir;
    fs::create_directories(dir / "src" / "taken" / "inner");
    fs::create_directories(dir / "src" / "mixed");
    WriteFile(dir / "src" / "taken" / "inner" / "a.txt", "a");
    WriteFile(dir / "src" / "mixed" / "b.txt", "b");
    WriteFile(dir / "src" / "mixed" / "c.log", "c");
    ZipEngJob job(dir / "a.zip");
    job.RootDir(dir / "src").Pattern("*").Exclude("*.log");
    job.Command.Move = -1;
    ASSERT_EQ(job.Run(), 2);
    EXPECT_FALSE(fs::exists(dir / "src" / "taken"));
    EXPECT_TRUE(fs::exists(dir / "src" / "mixed" / "c.log"));
    EXPECT_FALSE(fs::exists(dir / "src" / "mixed" / "b.txt"));
    EXPECT_EQ(Extracted(dir / "a.zip"),
              (std::map<std::string, std::string>{{"taken/", ""}, {"taken/inner/", ""}, {"taken/inner/a.txt", "a"},
                                                  {"mixed/", ""}, {"mixed/b.txt", "b"}}));
}

TEST(ZipEngAdd, OptionsShapeNamesAndSelection) {
    TempDir dir;
    fs::create_directories(dir / "src" / "sub");
    WriteFile(dir / "src" / "a.txt", "a");
    WriteFile(dir / "src" / ".hidden", "h");
    WriteFile(dir / "src" / "sub" / "b.TXT", "b");
    WriteFile(dir / "src" / "sub" / "c.dat", "c");
    WriteFile(dir / "src" / "sub" / "pic.PNG", std::string(5000, 'p'));
    struct Case {
        const char* Name;
        std::function<void(ZipEngJob&)> Setup;
        std::set<std::string> Entries;
    };
    const std::vector<Case> cases = {
        {"Defaults", [](ZipEngJob&) {}, {"a.txt", "sub/", "sub/b.TXT", "sub/c.dat", "sub/pic.PNG"}},
        {"HiddenFiles", [](ZipEngJob& j) { j.Command.HiddenFiles = -1; },
         {".hidden", "a.txt", "sub/", "sub/b.TXT", "sub/c.dat", "sub/pic.PNG"}},
        {"NoFolderEntries", [](ZipEngJob& j) { j.Command.NoSeparateDirs = -1; },
         {"a.txt", "sub/b.TXT", "sub/c.dat", "sub/pic.PNG"}},
        {"JunkDirNames", [](ZipEngJob& j) { j.Command.JunkDirNames = -1; }, {"a.txt", "b.TXT", "c.dat", "pic.PNG"}},
        {"ExcludesIgnoreCase", [](ZipEngJob& j) { j.Exclude("*.txt").Exclude("SUB/C.*"); }, {"sub/", "sub/pic.PNG"}},
        {"MaskWithoutRecursion", [](ZipEngJob& j) { j.Lines[0] = {"*.txt", "", false, false, false}; }, {"a.txt"}},
        {"MaskInSubfolder", [](ZipEngJob& j) { j.Lines[0] = {"sub/*.txt", "", false, false, true}; }, {"sub/b.TXT"}},
        {"FromDate",
         [&](ZipEngJob& j) {
             SetModTime(dir / "src" / "a.txt", kOld);
             SetModTime(dir / "src" / "sub" / "c.dat", kOld);
             j.Command.FromDate = -1;
             std::memcpy(j.Command.FromDateText, "01 01 20", 8);
         },
         {"sub/", "sub/b.TXT", "sub/pic.PNG"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove(dir / "a.zip");
        ZipEngJob job(dir / "a.zip");
        job.RootDir(dir / "src").Pattern("*");
        c.Setup(job);
        job.Run();
        std::set<std::string> names;
        for (const auto& [name, flags] : CentralNames(dir / "a.zip")) names.insert(name);
        EXPECT_EQ(names, c.Entries);
    }
}

TEST(ZipEngAdd, StoreSuffixesCommentAndArchiveDate) {
    TempDir dir;
    fs::create_directories(dir / "src");
    WriteFile(dir / "src" / "pic.PNG", std::string(5000, 'p'));
    WriteFile(dir / "src" / "text.txt", std::string(5000, 't'));
    SetModTime(dir / "src" / "pic.PNG", kOld);
    SetModTime(dir / "src" / "text.txt", kNew);
    ZipEngJob job(dir / "a.zip");
    job.RootDir(dir / "src").Pattern("*");
    job.Command.StoreSuffixes = ".gif:.png";
    job.Command.ArchiveComment = "the comment";
    job.Command.ZipTime = -1;
    ASSERT_EQ(job.Run(), 2);
    std::string listing;
    ASSERT_EQ(RunCommand("unzip -v " + Quoted(dir / "a.zip"), &listing), 0);
    EXPECT_NE(listing.find("the comment"), std::string::npos);
    EXPECT_NE(listing.find("Stored"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Defl:N"), std::string::npos) << listing;
    // MS-DOS times keep even seconds; both dates are even.
    EXPECT_EQ(fs::last_write_time(dir / "a.zip"), fs::last_write_time(dir / "src" / "text.txt"));
}

TEST(ZipEngAdd, CallbacksNameEachFileAndMayRenameIt) {
    TempDir dir;
    fs::create_directories(dir / "src");
    WriteFile(dir / "src" / "a.txt", "aaaa");
    WriteFile(dir / "src" / "b.txt", "bb");
    ZipEngJob job(dir / "a.zip");
    job.RootDir(dir / "src").Pattern("*");
    job.Answer = [](ZipCallbackRecord& record) {
        if (record.ActionCode == zrAddName && std::string(record.Text) == "b.txt") {
            std::snprintf(record.Text, sizeof(record.Text), "renamed/../../b2.txt");
            record.Arg1 = 1;
        }
        return 0;
    };
    ASSERT_EQ(job.Run(), 2);
    std::vector<std::int32_t> order;
    for (const SentRequest& r : job.Requests) {
        if (order.empty() || order.back() != r.Code) order.push_back(r.Code);
    }
    EXPECT_EQ(order, (std::vector<std::int32_t>{zrAddName, zrFileCount, zrByteTotal, zrNewItem, zrBytesDone, zrNewItem,
                                                zrBytesDone, zrNewStep, zrStepProgress, zrEndOfBatch}));
    EXPECT_EQ(job.Of(zrByteTotal).at(0).Size, 6);
    EXPECT_EQ(job.Of(zrNewItem).at(1).Text, "renamed/b2.txt");
    EXPECT_EQ(job.Of(zrNewStep).at(0).Arg1, 7);
    EXPECT_EQ(Extracted(dir / "a.zip"),
              (std::map<std::string, std::string>{{"a.txt", "aaaa"}, {"renamed/", ""}, {"renamed/b2.txt", "bb"}}));
}

TEST(ZipEngAdd, PasswordIsAskedOnceWhenNoneIsKnown) {
    TempDir dir;
    fs::create_directories(dir / "src");
    WriteFile(dir / "src" / "a.txt", "secret a");
    WriteFile(dir / "src" / "b.txt", "secret b");
    for (const bool answer : {true, false}) {
        SCOPED_TRACE(answer);
        fs::remove(dir / "a.zip");
        ZipEngJob job(dir / "a.zip");
        job.RootDir(dir / "src").Pattern("*", true, true);
        job.Answer = [&](ZipCallbackRecord& record) {
            if (record.ActionCode == zrPassword) {
                std::snprintf(record.Text, sizeof(record.Text), "%s", answer ? "asked" : "");
                record.Arg1 = answer ? 1 : 0;
            }
            return 0;
        };
        EXPECT_EQ(job.Run(), answer ? 2 : 0);
        ASSERT_EQ(job.Of(zrPassword).size(), 1u);
        EXPECT_EQ(job.Of(zrPassword)[0].Arg1 & 1, 1);
        if (answer) {
            EXPECT_EQ(RunCommand("unzip -tq -P asked " + Quoted(dir / "a.zip")), 0);
            EXPECT_NE(RunCommand("unzip -tq -P wrong " + Quoted(dir / "a.zip") + " >/dev/null 2>&1"), 0);
        } else {
            // Files meant to be encrypted are never stored in the clear.
            EXPECT_FALSE(fs::exists(dir / "a.zip"));
            EXPECT_EQ(job.Of(zrMessage).at(0).Arg1, zePassword);
        }
    }
}

TEST(ZipEngAdd, PerLinePasswordsAndPlainLines) {
    TempDir dir;
    fs::create_directories(dir / "src");
    WriteFile(dir / "src" / "one.txt", "one");
    WriteFile(dir / "src" / "two.txt", "two");
    WriteFile(dir / "src" / "open.txt", "open");
    ZipEngJob job(dir / "a.zip");
    job.RootDir(dir / "src").Password("job").Pattern("one.txt", false, true).Pattern("two.txt", false, true, "line").Pattern("open.txt");
    ASSERT_EQ(job.Run(), 3);
    EXPECT_EQ(RunCommand("unzip -p -P job " + Quoted(dir / "a.zip") + " one.txt | grep -qx one"), 0);
    EXPECT_EQ(RunCommand("unzip -p -P line " + Quoted(dir / "a.zip") + " two.txt | grep -qx two"), 0);
    const auto names = CentralNames(dir / "a.zip");
    EXPECT_EQ(names.at("open.txt") & 1, 0);
    EXPECT_EQ(names.at("one.txt") & 1, 1);
}

TEST(ZipEngDelete, LeavesMatchingEntriesOut) {
    TempDir dir;
    fs::create_directories(dir / "src" / "sub");
    WriteFile(dir / "src" / "a.txt", "a");
    WriteFile(dir / "src" / "b.log", "b");
    WriteFile(dir / "src" / "sub" / "c.txt", "c");
    ZipEngJob add(dir / "a.zip");
    add.RootDir(dir / "src").Pattern("*");
    ASSERT_EQ(add.Run(), 3);
    const std::string before = ReadFile(dir / "a.zip");
    struct Case {
        std::vector<std::string> Masks;
        std::int32_t Result;
        std::set<std::string> Left;
    };
    const std::vector<Case> cases = {
        {{"*.TXT"}, 2, {"b.log", "sub/"}},
        {{"sub"}, 1, {"a.txt", "b.log", "sub/c.txt"}},
        {{"none.*"}, 0, {"a.txt", "b.log", "sub/", "sub/c.txt"}},
        {{"*"}, 4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Masks.front());
        WriteFile(dir / "a.zip", before);
        ZipEngJob job(dir / "a.zip");
        for (const std::string& mask : c.Masks) job.Pattern(mask);
        job.Command.DeleteEntries = -1;
        EXPECT_EQ(job.Run(), c.Result);
        std::set<std::string> names;
        for (const auto& [name, flags] : CentralNames(dir / "a.zip")) names.insert(name);
        EXPECT_EQ(names, c.Left);
        if (c.Result == 0) {
            EXPECT_EQ(ReadFile(dir / "a.zip"), before);
            EXPECT_EQ(job.Of(zrMessage).at(0).Arg1, zeNothing);
        }
        std::string output;
        if (HaveProgram("7z")) {
            EXPECT_EQ(RunCommand("7z t " + Quoted(dir / "a.zip") + " 2>&1", &output), 0) << output;
        }
    }
    // The emptied archive is the bare end record, and adding to it works.
    EXPECT_EQ(fs::file_size(dir / "a.zip"), 22u);
    ASSERT_EQ(add.Run(), 3);
    EXPECT_EQ(Extracted(dir / "a.zip").size(), 4u);
}

// Entries kept from an archive another tool made (a stub in front that its offsets do not count, an entry
// with a data descriptor) are copied byte for byte: the old archive up to its directory starts the new one.
TEST(ZipEngKeptEntries, AreCopiedUnchangedWithTheStub) {
    if (!HaveProgram("zip")) GTEST_SKIP() << "zip missing";
    TempDir dir;
    fs::create_directories(dir / "src");
    WriteFile(dir / "src" / "a.txt", std::string(3000, 'a'));
    WriteFile(dir / "stub", "#!/bin/sh\nexit 0\n" + std::string(200, '#') + "\n");
    ASSERT_EQ(RunCommand("cd " + Quoted(dir / "src") + " && zip -q ../plain.zip a.txt && printf 'piped' | zip -q ../plain.zip -  && cat ../stub ../plain.zip > ../a.zip"), 0);
    const std::string before = ReadFile(dir / "a.zip");
    const std::size_t central = before.find(std::string("PK\x01\x02", 4));
    WriteFile(dir / "src" / "new.txt", "new");
    ZipEngJob job(dir / "a.zip");
    job.RootDir(dir / "src").Pattern("new.txt");
    ASSERT_EQ(job.Run(), 1);
    const std::string after = ReadFile(dir / "a.zip");
    EXPECT_EQ(after.substr(0, central), before.substr(0, central));
    std::string output;
    EXPECT_EQ(RunCommand("unzip -tq " + Quoted(dir / "a.zip") + " 2>&1", &output), 0) << output;
    EXPECT_EQ(job.Of(zrNewStep).at(0).Arg1, 2);
    EXPECT_EQ(job.Of(zrNewStep).at(0).Size, static_cast<std::int64_t>(central));
}

}  // namespace
}  // namespace kv::test
