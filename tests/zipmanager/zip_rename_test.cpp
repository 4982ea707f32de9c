// Rename: entry names and dates changed by copying the archive, which is replaced only once the copy is
// complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <stdexcept>

#include "support/archiver.h"
#include "support/zip_builder.h"
#include "zm_probe.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kDate = (44u << 25) | (6u << 21) | (15u << 16) | (10u << 11) | (30u << 5);  // 2024-06-15 10:30

class ZipRename : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_DATA_HOME")) saved_home_ = old;
        ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        fs::create_directory(dir_ / "temp");
        probe_.zm.SetTempDir((dir_ / "temp").string());
    }
    void TearDown() override {
        if (saved_home_.empty())
            ::unsetenv("XDG_DATA_HOME");
        else
            ::setenv("XDG_DATA_HOME", saved_home_.c_str(), 1);
    }
    // Writes `bytes` as the archive and opens it.
    void Make(const std::string& bytes) {
        test::WriteFile(archive_, bytes);
        ASSERT_EQ(probe_.Open(archive_), 0) << probe_.zm.Message();
    }
    int Rename(const std::vector<ZipRenameRec>& renames, std::uint32_t date = 0) { return probe_.zm.Rename(renames, date); }
    // Nothing left behind: no temporary file, no second name of the archive.
    void ExpectNoLeftovers() const {
        EXPECT_TRUE(fs::is_empty(dir_ / "temp"));
        for (const auto& item : fs::directory_iterator(dir_.Path()))
            EXPECT_EQ(item.path().filename().string().find(".kv-"), std::string::npos) << item.path();
    }
    fs::path Trashed() const { return dir_ / "data" / "Trash" / "files" / "a.zip"; }

    test::TempDir dir_;
    const fs::path archive_ = dir_ / "a.zip";
    test::TZipManagerProbe probe_;
    std::string saved_home_;
};

const std::vector<test::ZipMember> kMembers = {
    {.name = "a.txt", .data = "alpha"},          {.name = "data.txt", .data = "data"},
    {.name = "xa.txt", .data = "xa"},            {.name = "docs/", .data = ""},
    {.name = "docs/x.txt", .data = "docs x"},    {.name = "DOCS/sub/y.txt", .data = "docs y"},
    {.name = "mydocs/x.txt", .data = "mine"},    {.name = "sub/a.txt", .data = "deeper", .descriptor = true},
};

TEST_F(ZipRename, RenamesWholeNamesAndLeadingFoldersOnly) {
    Make(test::BuildZip(kMembers));
    probe_.zm.SetUseDirOnlyEntries(true);
    probe_.zm.List();
    EXPECT_EQ(Rename({{"A.TXT", "b.txt"}, {"docs\\", "papers/"}}), 0) << probe_.zm.Message();
    EXPECT_EQ(probe_.Names(), (std::vector<std::string>{"b.txt", "data.txt", "xa.txt", "papers/", "papers/x.txt",
                                                        "papers/sub/y.txt", "mydocs/x.txt", "sub/a.txt"}));
    for (const auto& [name, data] : std::vector<std::pair<std::string, std::string>>{
             {"b.txt", "alpha"}, {"papers/x.txt", "docs x"}, {"papers/sub/y.txt", "docs y"}, {"sub/a.txt", "deeper"}}) {
        const ZipDirEntry* entry = probe_.Find(name);
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_EQ(entry->PackedSize, data.size());
    }
    // A folder renamed to a name without a folder part moves its entries to the top; the new name's file
    // part is dropped.
    EXPECT_EQ(Rename({{"papers/", "top"}}), 0);
    EXPECT_EQ(probe_.Names()[4], "x.txt");
    EXPECT_EQ(Rename({{"mydocs/", "elsewhere/ignored.txt"}}), 0);
    EXPECT_EQ(probe_.Names()[6], "elsewhere/x.txt");
    ExpectNoLeftovers();
}

TEST_F(ZipRename, InstructionsApplyInTheirOrder) {
    Make(test::BuildZip(kMembers));
    EXPECT_EQ(Rename({{"a.txt", "b.txt"}, {"b.txt", "c.txt"}, {"sub/", "s/"}}), 0);
    EXPECT_EQ(probe_.Names()[0], "c.txt");
    EXPECT_EQ(probe_.Names().back(), "s/a.txt");
}

TEST_F(ZipRename, RefusesWildcardsAndFilesBecomingFolders) {
    Make(test::BuildZip(kMembers));
    const std::string before = test::ReadFile(archive_);
    EXPECT_EQ(Rename({{"*.txt", "b.txt"}}), -7);
    EXPECT_EQ(probe_.zm.Message(), "Wildcards are not allowed in Filename or file specification");
    EXPECT_EQ(Rename({{"a.txt", "b?.txt"}}), -7);
    probe_.Messages.clear();
    EXPECT_EQ(Rename({{"a.txt", "folder/"}}), -10);
    EXPECT_EQ(Rename({{"a.txt", ""}}), -10);
    EXPECT_TRUE(probe_.Messages.empty());
    EXPECT_EQ(test::ReadFile(archive_), before);

    probe_.zm.SetZipFileName((dir_ / "none.zip").string());
    EXPECT_EQ(Rename({{"a.txt", "b.txt"}}), -7);
    EXPECT_EQ(probe_.zm.ErrCode(), 10102);
}

TEST_F(ZipRename, DatesEveryEntryOrTheRenamedOnes) {
    Make(test::BuildZip(kMembers));
    const std::uint32_t stored = probe_.Find("a.txt")->DosDateTime;
    const std::uint32_t other = kDate + (1u << 16);  // a day later
    EXPECT_EQ(Rename({{"a.txt", "b.txt", other}, {"xa.txt", "xb.txt", 0xFFFFFFFF}}), 0);
    EXPECT_EQ(probe_.Find("b.txt")->DosDateTime, other);
    EXPECT_EQ(probe_.Find("xb.txt")->DosDateTime, stored);  // an impossible date is reported and not used
    EXPECT_EQ(probe_.Find("data.txt")->DosDateTime, stored);
    EXPECT_EQ(probe_.Codes(), std::vector<int>{10144});
    EXPECT_NE(std::find(probe_.Messages.begin(), probe_.Messages.end(),
                        std::pair<int, std::string>{10144, "Invalid date/time argument for file: xa.txt"}),
              probe_.Messages.end());

    // A date for the whole archive: every entry, renamed or not; the local headers agree.
    EXPECT_EQ(Rename({}, kDate), 0);
    const std::string bytes = test::ReadFile(archive_);
    for (const ZipDirEntry& entry : probe_.zm.DirEntries()) {
        EXPECT_EQ(entry.DosDateTime, kDate) << entry.Name();
        const std::size_t at = static_cast<std::size_t>(entry.LocalHeaderOffset) + 10;
        const auto local = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
                           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
                           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
                           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
        EXPECT_EQ(local, kDate) << entry.Name();
    }
}

TEST_F(ZipRename, KeepsStubsCommentsAndDescriptorsWithoutSignature) {
    // A descriptor without its optional signature is 12 bytes long; copying 16 would take the next
    // header's first bytes.
    std::string zip = test::BuildZip({{.name = "a.txt", .data = "alpha", .descriptor = true}, {.name = "b.txt", .data = "b"}});
    zip.erase(zip.find("PK\x07\x08"), 4);
    const std::vector<std::size_t> central = test::CentralHeaderOffsets(zip);
    test::Patch32(zip, central[1] + 42, static_cast<std::uint32_t>(zip.find("PK\x03\x04", 4)));
    test::Patch32(zip, test::EndRecordAt(zip) + 16, static_cast<std::uint32_t>(central[0]));
    // A comment after the end record, and a stub in front whose offsets were never corrected.
    zip[test::EndRecordAt(zip) + 20] = 7;
    zip += "comment";
    const std::string stub = "MZ-stub-bytes";
    test::WriteFile(archive_, stub + zip);
    probe_.Open(archive_);  // warns about the offsets
    ASSERT_EQ(probe_.zm.EntryCount(), 2);
    EXPECT_EQ(Rename({{"a.txt", "renamed.txt"}}), 0) << probe_.zm.Message();
    const std::string bytes = test::ReadFile(archive_);
    EXPECT_EQ(bytes.substr(0, stub.size()), stub);
    EXPECT_EQ(probe_.Names(), (std::vector<std::string>{"renamed.txt", "b.txt"}));
    EXPECT_EQ(probe_.zm.ArchiveComment(), "comment");
    EXPECT_EQ(probe_.zm.ErrCode(), 0);  // the offsets now count from the start of the file
    EXPECT_EQ(probe_.Find("b.txt")->LocalHeaderOffset, bytes.find("b.txt") - 30);
    if (test::HaveProgram("unzip")) {
        std::string output;
        EXPECT_EQ(test::RunCommand("unzip -t '" + archive_.string() + "'", &output), 0) << output;
        EXPECT_EQ(test::RunCommand("unzip -p '" + archive_.string() + "' b.txt", &output), 0);
        EXPECT_EQ(output, "b");
    }
}

TEST_F(ZipRename, NamesTheCodePageCannotHoldAreStoredAsUtf8) {
    // Made on MS-DOS: names are in the OEM code page (CP437), which has "é" but no Cyrillic letters.
    Make(test::WithHost(test::BuildZip({{.name = "a.txt", .data = "alpha"}, {.name = "b.txt", .data = "beta"}}), 0));
    EXPECT_EQ(Rename({{"a.txt", "\u0436ar.txt"}, {"b.txt", "caf\u00e9.txt"}}), 0) << probe_.zm.Message();
    EXPECT_EQ(probe_.Names(), (std::vector<std::string>{"\u0436ar.txt", "caf\u00e9.txt"}));
    EXPECT_NE(probe_.Find("\u0436ar.txt")->Flags & 0x0800, 0);
    EXPECT_EQ(probe_.Find("caf\u00e9.txt")->Flags & 0x0800, 0);  // CP437 holds it
    const std::string bytes = test::ReadFile(archive_);
    EXPECT_NE(bytes.find("caf\x82.txt"), std::string::npos);
}

TEST_F(ZipRename, RealArchivesStayValid) {
    if (!test::HaveProgram("zip") || !test::HaveProgram("unzip")) GTEST_SKIP() << "zip and unzip are needed";
    fs::create_directories(dir_ / "src" / "docs");
    test::WriteFile(dir_ / "src" / "a.txt", std::string(100000, 'a'));
    test::WriteFile(dir_ / "src" / "docs" / "x.txt", "x in docs");
    test::WriteFile(dir_ / "src" / "data.txt", "keep me");
    ASSERT_TRUE(test::RunIn(dir_, "cd src && zip -qr ../a.zip . && echo stdin | zip -q ../a.zip -"));
    ASSERT_EQ(probe_.Open(archive_), 0);
    EXPECT_EQ(Rename({{"a.txt", "renamed/a.txt"}, {"docs/", "papers/"}, {"-", "from-stdin.txt"}}), 0)
        << probe_.zm.Message();
    std::string output;
    EXPECT_EQ(test::RunCommand("unzip -t '" + archive_.string() + "'", &output), 0) << output;
    EXPECT_EQ(test::RunCommand("unzip -p '" + archive_.string() + "' renamed/a.txt", &output), 0);
    EXPECT_TRUE(output == std::string(100000, 'a')) << output.substr(0, 200);
    EXPECT_EQ(test::RunCommand("unzip -p '" + archive_.string() + "' papers/x.txt from-stdin.txt data.txt", &output), 0);
    EXPECT_EQ(output, "keep mex in docsstdin\n");  // in the order of the archive
}

TEST_F(ZipRename, TheReplacedArchiveGoesToTheTrashWhenUndoIsAllowed) {
    Make(test::BuildZip(kMembers));
    const std::string before = test::ReadFile(archive_);
    EXPECT_EQ(Rename({{"a.txt", "b.txt"}}), 0);
    ASSERT_TRUE(fs::exists(Trashed()));
    EXPECT_EQ(test::ReadFile(Trashed()), before);
    const std::string info = test::ReadFile(dir_ / "data" / "Trash" / "info" / "a.zip.trashinfo");
    EXPECT_NE(info.find("Path=" + fs::canonical(archive_).string() + "\n"), std::string::npos) << info;
    ExpectNoLeftovers();

    fs::remove_all(dir_ / "data");
    probe_.zm.SetHowToDelete(htdFinal);
    EXPECT_EQ(Rename({{"b.txt", "c.txt"}}), 0);
    EXPECT_FALSE(fs::exists(Trashed()));
    EXPECT_EQ(probe_.Names()[0], "c.txt");
}

TEST_F(ZipRename, AFailureLeavesTheArchiveAsItWas) {
    Make(test::BuildZip(kMembers));
    const std::string before = test::ReadFile(archive_);

    // The new file cannot be put in place: another file system, and that one is full.
    platform::TFileOps full;
    full.Rename = [](const std::string&, const std::string&) {
        errno = EXDEV;
        return -1;
    };
    full.Write = [](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    probe_.zm.SetFileOps(full);
    EXPECT_EQ(Rename({{"a.txt", "b.txt"}}), -7);
    EXPECT_NE(probe_.zm.ErrCode(), 0);
    EXPECT_EQ(test::ReadFile(archive_), before);
    EXPECT_FALSE(fs::exists(Trashed()));
    ExpectNoLeftovers();
    probe_.zm.SetFileOps({});

    // A handler fails half-way through the copy.
    int items = 0;
    probe_.zm.OnItemProgress = [&](TObject*, const std::string&, std::uint32_t, int) {
        if (++items == 4) throw std::runtime_error("handler failed");
    };
    EXPECT_EQ(Rename({{"a.txt", "b.txt"}}), -9);
    EXPECT_EQ(probe_.zm.ErrCode(), 11024);
    EXPECT_NE(probe_.zm.Message().find("handler failed"), std::string::npos);
    EXPECT_EQ(test::ReadFile(archive_), before);
    ExpectNoLeftovers();
    probe_.zm.OnItemProgress = nullptr;

    // Cancelled at a progress report.
    probe_.zm.OnTotalProgress = [&](TObject*, std::int64_t, int) { probe_.zm.SetCancel(true); };
    EXPECT_EQ(Rename({{"a.txt", "b.txt"}}), -7);
    EXPECT_EQ(probe_.zm.ErrCode(), 11007);
    EXPECT_EQ(test::ReadFile(archive_), before);
    ExpectNoLeftovers();
}

// unzip and 7-Zip test every entry of the archive (each skipped when it is not installed).
void ExpectToolsAccept(const fs::path& archive) {
    const std::pair<const char*, const char*> tools[] = {{"unzip", "unzip -tqq "}, {"7z", "7z t -bd "}};
    for (const auto& [tool, command] : tools) {
        if (!test::HaveProgram(tool)) continue;
        std::string output;
        EXPECT_EQ(test::RunCommand(command + test::Quoted(archive), &output), 0) << tool << "\n" << output;
    }
}

// Whether the archive ends with ZIP64 records: their locator lies right before the 22-byte end record.
bool HasZip64EndRecords(const std::string& zip) {
    return zip.size() >= 42 && zip.compare(zip.size() - 42, 4, "PK\x06\x07") == 0;
}

std::vector<test::ZipMember> ManyMembers(std::size_t count) {
    std::vector<test::ZipMember> members(count);
    for (std::size_t i = 0; i < count; ++i) members[i].name = "f" + std::to_string(i);
    members[0] = {.name = "a.txt", .data = "alpha"};
    return members;
}

TEST_F(ZipRename, RenamesZip64ArchivesAndArchivesOf65535Entries) {
    const test::ZipOptions zip64_end{.zip64_end = true};
    struct Case {
        const char* label;
        std::function<std::string()> make;  // empty: the tool was not there
        std::size_t entries;
        bool zip64_after;  // the renamed archive needs ZIP64 end records
    };
    const Case cases[] = {
        {"ZIP64 fields and end records",
         [&] {
             return test::BuildZip({{.name = "a.txt", .data = "alpha", .zip64 = true, .zip64_unpacked = 5},
                                    {.name = "sub/b.txt", .data = "beta", .descriptor = true},
                                    {.name = "c.txt", .data = "gamma", .zip64 = true, .zip64_unpacked = 5}},
                                   zip64_end);
         },
         3, false},
        {"made by zip -fz (ZIP64 fields in the local headers too)",
         [&] {
             test::WriteFile(dir_ / "a.txt", "alpha");
             test::WriteFile(dir_ / "c.txt", "gamma");
             const bool made = test::RunArchiver("zip", dir_.Path(), "zip -q -fz fz.zip a.txt c.txt");
             return made ? test::ReadFile(dir_ / "fz.zip") : std::string();
         },
         2, false},
        // 0xFFFF entries in a classic end record is a real count, not the ZIP64 marker.
        {"65 535 entries without ZIP64 records", [] { return test::BuildZip(ManyMembers(0xFFFF)); }, 0xFFFF, true},
        {"65 535 entries with ZIP64 records", [&] { return test::BuildZip(ManyMembers(0xFFFF), zip64_end); }, 0xFFFF,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string bytes = c.make();
        if (bytes.empty()) continue;
        Make(bytes);
        const std::uint64_t size = probe_.Find("a.txt")->UnpackedSize64;
        EXPECT_EQ(Rename({{"a.txt", "renamed/b.txt"}}, kDate), 0) << probe_.zm.Message();
        ASSERT_EQ(probe_.zm.EntryCount(), static_cast<int>(c.entries));
        const ZipDirEntry* renamed = probe_.Find("renamed/b.txt");
        ASSERT_NE(renamed, nullptr);
        EXPECT_EQ(renamed->UnpackedSize64, size);
        EXPECT_EQ(renamed->DosDateTime, kDate);
        EXPECT_EQ(probe_.Find("a.txt"), nullptr);
        EXPECT_TRUE(probe_.Codes().empty());
        const std::string after = test::ReadFile(archive_);
        EXPECT_EQ(HasZip64EndRecords(after), c.zip64_after);
        ExpectToolsAccept(archive_);
        ExpectNoLeftovers();
    }
}

TEST_F(ZipRename, RefusesArchivesItCannotRewrite) {
    std::string zip = test::BuildZip({{.name = "a.txt", .data = "alpha"}});
    Make(zip);
    test::Patch16(zip, test::EndRecordAt(zip) + 4, 1);
    test::Patch16(zip, test::EndRecordAt(zip) + 6, 1);
    test::WriteFile(archive_, zip);
    EXPECT_EQ(Rename({{"a.txt", "b.txt"}}), -7);
    EXPECT_EQ(probe_.zm.Message(), "Rename is not implemented for a spanned zip file");

    std::string broken = test::BuildZip({{.name = "a.txt", .data = "alpha"}});
    broken[0] = 'X';  // the local header's signature
    test::WriteFile(archive_, broken);
    EXPECT_EQ(Rename({{"a.txt", "b.txt"}}), -7);
    EXPECT_EQ(probe_.zm.Message(), "A local header signature is wrong");
    EXPECT_EQ(test::ReadFile(archive_), broken);
    ExpectNoLeftovers();
}

}  // namespace
}  // namespace kv
