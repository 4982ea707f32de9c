// Reading the directory of archives made by real tools and of hand-built ones: names and their code
// pages, ZIP64 values, data in front of the archive, enciphered entries, directory entries, comments and
// bytes after the end record.
#include <gtest/gtest.h>

#include "support/zip_builder.h"
#include "zm_probe.h"

namespace kv {
namespace {

using test::TZipManagerProbe;

class ToolMadeArchive : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteFile(dir_ / "one.txt", "hello");
        std::filesystem::create_directories(dir_ / "sub");
        test::WriteFile(dir_ / "sub/two.txt", "world!");
    }
    bool Run(const std::string& tool, const std::string& command) {
        return test::HaveProgram(tool) && test::RunIn(dir_, command);
    }
    test::TempDir dir_;
};

TEST_F(ToolMadeArchive, ListsEntriesAndCommentOfZip) {
    if (!Run("zip", "zip -qr a.zip one.txt sub && echo note | zip -qz a.zip")) GTEST_SKIP() << "zip missing";
    TZipManagerProbe probe;
    EXPECT_EQ(probe.Open(dir_ / "a.zip"), 0) << probe.zm.Message();
    // "sub/" is a directory-only entry: dropped, but it keeps its place in the SeqNo count.
    EXPECT_EQ(probe.Names(), (std::vector<std::string>{"one.txt", "sub/two.txt"}));
    EXPECT_EQ(probe.SeqNos, (std::vector<int>{1, 3}));
    EXPECT_EQ(probe.zm.EntryCount(), 2);
    const ZipDirEntry& two = probe.zm.DirEntries()[1];
    EXPECT_EQ(two.UnpackedSize, 6u);
    EXPECT_EQ(two.UnpackedSize64, 6u);
    EXPECT_EQ(two.HostSystem, 3);
    EXPECT_EQ(two.Crc32, Crc32Of("world!", 6));
    EXPECT_FALSE(two.IsEncrypted);
    EXPECT_GT(two.LocalHeaderOffset, 0u);
    EXPECT_EQ(two.NameLength, two.Name().size());
    EXPECT_EQ(two.ExtraLength, two.Extra().size());
    EXPECT_EQ(probe.zm.ArchiveComment(), "note");
    EXPECT_EQ(probe.zm.ArchiveStart(), 0);
    EXPECT_EQ(probe.DirUpdates, 1);
    EXPECT_TRUE(probe.Messages.empty());
    EXPECT_EQ(probe.prompter.BusyLevel, 0);
}

TEST_F(ToolMadeArchive, KeepsDirectoryEntriesWhenAsked) {
    if (!Run("zip", "zip -qr a.zip one.txt sub")) GTEST_SKIP() << "zip missing";
    TZipManagerProbe probe;
    probe.zm.SetUseDirOnlyEntries(true);
    EXPECT_EQ(probe.Open(dir_ / "a.zip"), 0);
    EXPECT_EQ(probe.Names(), (std::vector<std::string>{"one.txt", "sub/", "sub/two.txt"}));
    EXPECT_EQ(probe.SeqNos, (std::vector<int>{1, 2, 3}));
}

TEST_F(ToolMadeArchive, MarksEncipheredEntries) {
    if (!Run("zip", "zip -q -P secret a.zip one.txt && zip -q a.zip sub/two.txt")) GTEST_SKIP() << "zip missing";
    TZipManagerProbe probe;
    EXPECT_EQ(probe.Open(dir_ / "a.zip"), 0);
    ASSERT_NE(probe.Find("one.txt"), nullptr);
    ASSERT_NE(probe.Find("sub/two.txt"), nullptr);
    EXPECT_TRUE(probe.Find("one.txt")->IsEncrypted);
    EXPECT_EQ(probe.Find("one.txt")->Flags & 1, 1);
    EXPECT_FALSE(probe.Find("sub/two.txt")->IsEncrypted);
}

TEST_F(ToolMadeArchive, ReadsForcedZip64Records) {
    if (!Run("zip", "zip -q -fz a.zip one.txt sub/two.txt")) GTEST_SKIP() << "zip missing";
    TZipManagerProbe probe;
    EXPECT_EQ(probe.Open(dir_ / "a.zip"), 0) << probe.zm.Message();
    EXPECT_EQ(probe.Names(), (std::vector<std::string>{"one.txt", "sub/two.txt"}));
    EXPECT_EQ(probe.Find("one.txt")->UnpackedSize64, 5u);
    EXPECT_TRUE(probe.Codes().empty());
}

TEST_F(ToolMadeArchive, TakesUtf8NamesAsTheyAre) {
    const std::string name = "\xC4\x8D" "aj/\xE6\x97\xA5\xE6\x9C\xAC.txt";  // "čaj/日本.txt"
    std::filesystem::create_directories(dir_ / "\xC4\x8D" "aj");
    test::WriteFile(dir_ / name, "tea");
    struct Tool {
        std::string program;
        std::string archive;
        std::string command;
        bool flags_utf8;  // sets the UTF-8 flag; Info-ZIP stores the bytes unflagged under a Unix host
    };
    const Tool tools[] = {
        {"zip", "z.zip", "zip -q z.zip '" + name + "'", false},
        {"7z", "7.zip", "7z a -tzip 7.zip '" + name + "' >/dev/null", true},
        {"bsdtar", "b.zip", "bsdtar -a -cf b.zip '" + name + "'", true},
    };
    int listed = 0;
    for (const auto& [tool, archive, command, flags_utf8] : tools) {
        if (!Run(tool, command)) continue;
        // A name flagged as UTF-8 is never taken for an OEM name, even when every name is to be converted.
        for (const CodePageOpts code_page : {cpAuto, cpOEM}) {
            if (code_page == cpOEM && !flags_utf8) continue;
            TZipManagerProbe probe;
            probe.zm.SetCodePage(code_page);
            EXPECT_EQ(probe.Open(dir_ / archive), 0) << tool;
            EXPECT_EQ(probe.Names(), std::vector<std::string>{name}) << tool << " " << code_page;
            EXPECT_EQ(probe.zm.DirEntries().at(0).UnpackedSize, 3u) << tool;
        }
        ++listed;
    }
    if (listed == 0) GTEST_SKIP() << "no archiver installed";
}

// The stub of a self-extractor: anything in front of the ZIP data.
std::string Stub() { return "MZ" + std::string(998, '\x90'); }

TEST_F(ToolMadeArchive, FindsTheArchiveBehindAStub) {
    if (!Run("zip", "zip -q a.zip one.txt sub/two.txt")) GTEST_SKIP() << "zip missing";
    const std::string stub = Stub();
    test::WriteFile(dir_ / "raw.exe", stub + test::ReadFile(dir_ / "a.zip"));
    test::WriteFile(dir_ / "fixed.exe", stub + test::ReadFile(dir_ / "a.zip"));
    ASSERT_TRUE(test::RunIn(dir_, "zip -q -A fixed.exe"));

    // Offsets not adjusted for the stub: a warning, then the directory at the place it really is.
    TZipManagerProbe raw;
    EXPECT_EQ(raw.Open(dir_ / "raw.exe"), 10203);
    EXPECT_EQ(raw.zm.Message(), "Warning - Error in zip structure!");
    EXPECT_EQ(raw.Names(), (std::vector<std::string>{"one.txt", "sub/two.txt"}));
    EXPECT_EQ(raw.zm.ArchiveStart(), static_cast<std::int64_t>(stub.size()));
    EXPECT_EQ(raw.zm.ZipFileName(), (dir_ / "raw.exe").string());

    TZipManagerProbe fixed;
    EXPECT_EQ(fixed.Open(dir_ / "fixed.exe"), 0) << fixed.zm.Message();
    EXPECT_TRUE(fixed.Messages.empty());
    EXPECT_EQ(fixed.Names(), (std::vector<std::string>{"one.txt", "sub/two.txt"}));
    EXPECT_EQ(fixed.zm.ArchiveStart(), static_cast<std::int64_t>(stub.size()));
}

TEST_F(ToolMadeArchive, TracesTheReadingOnlyWhenVerbose) {
    if (!Run("zip", "zip -qr a.zip one.txt sub")) GTEST_SKIP() << "zip missing";
    TZipManagerProbe quiet(false);
    EXPECT_EQ(quiet.Open(dir_ / "a.zip"), 0);
    EXPECT_TRUE(quiet.Messages.empty());

    TZipManagerProbe verbose(false);
    verbose.zm.SetVerbose(true);
    EXPECT_EQ(verbose.Open(dir_ / "a.zip"), 0);
    std::vector<std::string> lines;
    for (const auto& [code, text] : verbose.Messages) {
        EXPECT_EQ(code, 0) << text;
        lines.push_back(text);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"List - expecting 3 files", "List - [0] \"one.txt\"",
                                               "List - adding \"one.txt\" []", "List - [1] \"sub/\"",
                                               "List - dropped dir [1]", "List - [2] \"sub/two.txt\"",
                                               "List - adding \"sub/two.txt\" []"}));
    EXPECT_TRUE(verbose.prompter.Boxes.empty());  // diagnostics never show a message box
}

TEST(DirectoryReading, ReportsLoadingProgressPerEntry) {
    test::TempDir dir;
    test::WriteFile(dir / "a.zip", test::BuildZip({{.name = "a"}, {.name = "d/"}, {.name = "d/b"}}));
    TZipManagerProbe probe;
    std::vector<std::string> log;
    probe.zm.OnProgress = [&](TObject*, ProgressType type, const std::string& name, std::int64_t size) {
        log.push_back(std::to_string(type) + ":" + name + ":" + std::to_string(size));
    };
    probe.zm.OnItemProgress = [&](TObject*, const std::string& item, std::uint32_t size, int percent) {
        log.push_back("item " + item + ":" + std::to_string(size) + ":" + std::to_string(percent));
    };
    EXPECT_EQ(probe.Open(dir / "a.zip"), 0);
    // NewExtra with the entry total, one ExtraUpdate per entry (dropped ones too), then EndOfBatch.
    EXPECT_EQ(log, (std::vector<std::string>{
                       "5::3", "item *Loading Directory:3:0",                             //
                       "6:*Loading Directory:1", "item *Loading Directory:3:33",          //
                       "6:*Loading Directory:1", "item *Loading Directory:3:66",          //
                       "6:*Loading Directory:1", "item *Loading Directory:3:100",         //
                       "2::0", "item :0:101"}));
}

// One stored entry named `name`, its central header saying it was made on `host` by `version`.
std::string OneEntry(const std::string& name, std::uint8_t host, std::uint8_t version = 20, std::uint16_t flags = 0,
                     const std::string& extra = {}) {
    return test::WithHost(test::BuildZip({{.name = name, .data = "x", .flags = flags, .central_extra = extra}}),
                          host, version);
}

// Undeclared names: the code page CodePage chooses, else the host decides (MS-DOS, OS/2, NTFS and VFAT
// wrote OEM; other hosts UTF-8 when the bytes are valid UTF-8, else OEM).
TEST(DirectoryReading, DecodesNamesByCodePageAndHost) {
    struct Case {
        const char* label;
        std::string stored;
        std::uint8_t host;
        CodePageOpts code_page;
        const char* oem_code_page;
        std::string expected;
    };
    const std::string raw = "\x84.txt";
    const std::string a_umlaut = "\xC3\xA4.txt";     // CP437 0x84
    const std::string cyrillic_de = "\xD0\x94.txt";  // CP866 0x84
    const std::string shift_jis = "\x95\\.txt";     // "表" in CP932, whose second byte is "\\"
    const Case cases[] = {
        {"MS-DOS host, automatic", raw, 0, cpAuto, "", a_umlaut},
        {"NTFS host, automatic", raw, 11, cpAuto, "", a_umlaut},
        {"VFAT host, automatic", raw, 14, cpAuto, "", a_umlaut},
        {"Unix host, not UTF-8", raw, 3, cpAuto, "", a_umlaut},
        {"Unix host, UTF-8", a_umlaut, 3, cpAuto, "", a_umlaut},
        // "├ñ"
        {"MS-DOS host, UTF-8 bytes are OEM all the same", a_umlaut, 0, cpAuto, "", "\xE2\x94\x9C\xC3\xB1.txt"},
        {"Unix host, always OEM", a_umlaut, 3, cpOEM, "", "\xE2\x94\x9C\xC3\xB1.txt"},
        {"MS-DOS host, OEM code page 866", raw, 0, cpAuto, "866", cyrillic_de},
        {"Unix host, OEM code page 866", raw, 3, cpOEM, "866", cyrillic_de},
        {"NTFS host, OEM code page 932", shift_jis, 11, cpOEM, "CP932", "\xE8\xA1\xA8.txt"},
        // Never OEM: the bytes are the ANSI code page's, UTF-8 here; what is not UTF-8 stays visible.
        {"HPFS host, never", raw, 6, cpNone, "", "%84.txt"},
        {"MS-DOS host, never", a_umlaut, 0, cpNone, "", a_umlaut},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        test::WriteFile(dir / "a.zip", OneEntry(c.stored, c.host));
        TZipManagerProbe probe;
        probe.zm.SetCodePage(c.code_page);
        ASSERT_TRUE(probe.zm.SetOemCodePage(c.oem_code_page)) << c.label;
        EXPECT_EQ(probe.Open(dir / "a.zip"), 0) << c.label;
        EXPECT_EQ(probe.Names(), std::vector<std::string>{c.expected}) << c.label;
    }
}

TEST(DirectoryReading, PrefersUtf8FlagAndUnicodePathField) {
    const std::string raw = "\x84.txt";
    const std::string unicode = "\xE6\x97\xA5.txt";  // "日.txt"
    const auto unicode_path = [&](std::uint32_t name_crc) {
        std::string data = "\x01";
        test::Put32(data, name_crc);
        return test::ExtraField(0x7075, data + unicode);
    };
    struct Case {
        const char* label;
        std::string zip;
        std::string expected;
    };
    const Case cases[] = {
        {"UTF-8 flag on an MS-DOS name", OneEntry(unicode, 0, 20, 0x0800), unicode},
        {"Unicode path matching the stored name", OneEntry(raw, 0, 20, 0, unicode_path(Crc32Of(raw.data(), 5))),
         unicode},
        {"Unicode path of another name", OneEntry(raw, 0, 20, 0, unicode_path(0x12345678)), "\xC3\xA4.txt"},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        test::WriteFile(dir / "a.zip", c.zip);
        TZipManagerProbe probe;
        EXPECT_EQ(probe.Open(dir / "a.zip"), 0) << c.label;
        EXPECT_EQ(probe.Names(), std::vector<std::string>{c.expected}) << c.label;
        // The extra field is handed on as stored.
        EXPECT_EQ(probe.zm.DirEntries().at(0).Extra().size(), probe.zm.DirEntries().at(0).ExtraLength) << c.label;
    }
}

TEST(DirectoryReading, TakesBackslashesAndFolderAttributesOfWindowsWriters) {
    struct Case {
        const char* label;
        std::string zip;
        std::vector<std::string> expected;
    };
    const std::string shift_jis = "\x95\\.txt";  // a double-byte character whose second byte is "\\"
    const Case cases[] = {
        {"MS-DOS host", OneEntry("arc\\sub\\a.txt", 0), {"arc/sub/a.txt"}},
        {"MS-DOS folder with a backslash", OneEntry("arc\\", 0), {}},
        {"UTF-8 name", OneEntry("arc\\a.txt", 3, 30, 0x0800), {"arc/a.txt"}},
        // A name is text once decoded: a backslash separates folders wherever it comes from, as for the readers.
        {"Unix name holding a backslash", OneEntry("a\\b", 3, 30), {"a/b"}},
        {"decoded before split", OneEntry(shift_jis, 11, 20), {"\xC3\xB2/.txt"}},  // CP437 "ò" and "\\"
        {"folder attribute without a delimiter",
         test::WithHost(test::BuildZip({{.name = "dir", .external_attributes = 0x10}, {.name = "dir/f", .data = "x"}}),
                        0),
         {"dir/f"}},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        test::WriteFile(dir / "a.zip", c.zip);
        TZipManagerProbe probe;
        EXPECT_EQ(probe.Open(dir / "a.zip"), 0) << c.label;
        EXPECT_EQ(probe.Names(), c.expected) << c.label;
    }
}

TEST(DirectoryReading, ConvertsEntryAndArchiveCommentsLikeNames) {
    std::string zip = test::WithHost(test::BuildZip({{.name = "a", .data = "x", .comment = "\x84"}}), 0);
    test::Patch16(zip, zip.size() - 2, 1);  // archive comment length
    zip += "\x94";
    test::TempDir dir;
    test::WriteFile(dir / "a.zip", zip);
    TZipManagerProbe probe;
    EXPECT_EQ(probe.Open(dir / "a.zip"), 0);
    ASSERT_EQ(probe.zm.EntryCount(), 1);
    EXPECT_EQ(probe.zm.DirEntries()[0].Comment(), "\xC3\xA4");
    EXPECT_EQ(probe.zm.ArchiveComment(), "\xC3\xB6");
}

TEST(DirectoryReading, ReadsZip64SizesAndEndRecord) {
    const std::uint64_t big = 5'000'000'000;
    const std::string zip = test::BuildZip(
        {{.name = "big.bin", .data = "x", .zip64 = true, .zip64_unpacked = big}, {.name = "small", .data = "yz"}},
        {.zip64_end = true});
    test::TempDir dir;
    test::WriteFile(dir / "a.zip", zip);
    TZipManagerProbe probe;
    EXPECT_EQ(probe.Open(dir / "a.zip"), 0) << probe.zm.Message();
    ASSERT_EQ(probe.Names(), (std::vector<std::string>{"big.bin", "small"}));
    const ZipDirEntry& entry = probe.zm.DirEntries()[0];
    EXPECT_EQ(entry.UnpackedSize, 0xFFFFFFFFu);  // the stored field stays as it is
    EXPECT_EQ(entry.UnpackedSize64, big);
    EXPECT_EQ(entry.PackedSize64, 1u);
    EXPECT_EQ(entry.LocalHeaderOffset64, 0u);
    EXPECT_EQ(probe.zm.DirEntries()[1].UnpackedSize64, 2u);
    EXPECT_EQ(probe.zm.ArchiveStart(), 0);
    EXPECT_TRUE(probe.Codes().empty());
}

// Records stored enciphered with the header keys ("PL") read like their plain forms.
TEST(DirectoryReading, DeciphersEncipheredEndRecordAndCentralHeaders) {
    test::TempDir dir;
    const struct {
        const char* label;
        test::ZipLayout layout;
    } cases[] = {
        {"plain", test::ZipLayout()},
        {"enciphered end record", test::ZipLayout().WithEncipheredEnd()},
        {"enciphered central header", test::ZipLayout().WithEncipheredCentral()},
        {"both", test::ZipLayout().WithEncipheredEnd().WithEncipheredCentral().WithComment("note")},
    };
    for (const auto& c : cases) {
        test::WriteFile(dir / "a.zip", test::MakeZip(c.layout));
        TZipManagerProbe probe;
        EXPECT_EQ(probe.Open(dir / "a.zip"), 0) << c.label << ": " << probe.zm.Message();
        EXPECT_EQ(probe.Names(), std::vector<std::string>{"a.txt"}) << c.label;
        EXPECT_EQ(probe.zm.ArchiveComment(), c.layout.Comment) << c.label;
    }
}

TEST(DirectoryReading, ListsBareAndLongCommentedEndRecords) {
    std::string bare = "PK\x05\x06";
    bare.append(18, '\0');
    std::string long_comment = test::BuildZip({{.name = "a", .data = "x"}});
    test::Patch16(long_comment, long_comment.size() - 2, 0xFFFF);
    long_comment += std::string(0xFFFF, 'c');
    // A comment holding an end record of its own: the one whose comment ends with the file wins.
    std::string decoy = test::BuildZip({{.name = "a", .data = "x"}});
    const std::string fake_end = "PK\x05\x06" + std::string(18, '\0');
    test::Patch16(decoy, decoy.size() - 2, static_cast<std::uint16_t>(fake_end.size() + 3));
    decoy += fake_end + "end";

    struct Case {
        const char* label;
        std::string zip;
        std::size_t entries;
        std::size_t comment_size;
    };
    const Case cases[] = {
        {"22-byte empty archive", bare, 0, 0},
        {"65535-byte comment", long_comment, 1, 0xFFFF},
        {"comment holding an end signature", decoy, 1, fake_end.size() + 3},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        test::WriteFile(dir / "a.zip", c.zip);
        TZipManagerProbe probe;
        EXPECT_EQ(probe.Open(dir / "a.zip"), 0) << c.label << ": " << probe.zm.Message();
        EXPECT_EQ(probe.zm.DirEntries().size(), c.entries) << c.label;
        EXPECT_EQ(probe.zm.ArchiveComment().size(), c.comment_size) << c.label;
        EXPECT_EQ(probe.zm.ArchiveStart(), 0) << c.label;
        EXPECT_TRUE(probe.Messages.empty()) << c.label;
    }
}

TEST(DirectoryReading, WarnsAboutGarbageAfterTheEndRecordButNotPadding) {
    struct Case {
        const char* label;
        std::string trailer;
        bool warns;
    };
    const Case cases[] = {
        {"text", "garbage after the archive", true},
        {"511 zero bytes", std::string(511, '\0'), false},
        {"512 zero bytes", std::string(512, '\0'), true},
        {"spaces and line ends", "  \r\n\x1A", false},
        {"a letter among zeros", std::string(20, '\0') + "x", true},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        test::WriteFile(dir / "a.zip", test::BuildZip({{.name = "a", .data = "x"}}) + c.trailer);
        TZipManagerProbe probe;
        probe.Open(dir / "a.zip");
        EXPECT_EQ(probe.Codes(), c.warns ? std::vector<int>{10204} : std::vector<int>{}) << c.label;
        if (c.warns) {
            EXPECT_EQ(probe.zm.Message(), "Warning - Garbage at the end of the zipfile!") << c.label;
        }
        EXPECT_EQ(probe.Names(), std::vector<std::string>{"a"}) << c.label;
        EXPECT_EQ(probe.zm.ArchiveStart(), 0) << c.label;
    }
}

}  // namespace
}  // namespace kv
