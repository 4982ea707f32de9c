// Rewriting the archive comment in place: the entries stay as they were and other tools still read the
// archive; writing the comment the archive already has changes nothing.
#include <gtest/gtest.h>

#include "support/zip_builder.h"
#include "zm_probe.h"

namespace kv {
namespace {

using test::TZipManagerProbe;

TEST(ArchiveComment, RewritesTheCommentAndKeepsEveryEntry) {
    if (!test::HaveProgram("zip") || !test::HaveProgram("unzip")) GTEST_SKIP() << "zip or unzip missing";
    test::TempDir dir;
    test::WriteFile(dir / "one.txt", "hello");
    test::WriteFile(dir / "two.txt", std::string(5000, 'w'));
    ASSERT_TRUE(test::RunIn(dir, "zip -q a.zip one.txt two.txt && echo 'first comment' | zip -qz a.zip"));
    const auto archive = dir / "a.zip";

    TZipManagerProbe probe;
    ASSERT_EQ(probe.Open(archive), 0);
    ASSERT_EQ(probe.zm.ArchiveComment(), "first comment");
    const std::vector<std::string> names = probe.Names();
    const std::vector<std::string> comments = {std::string(300, 'L'), "short", "", "line one\nline two"};
    for (const std::string& comment : comments) {
        probe.zm.SetArchiveComment(comment);
        EXPECT_EQ(probe.zm.ErrCode(), 0) << probe.zm.Message();
        EXPECT_EQ(probe.zm.ArchiveComment(), comment);
        EXPECT_EQ(probe.Names(), names);
        std::string output;
        EXPECT_EQ(test::RunCommand("unzip -tq '" + archive.string() + "'", &output), 0) << comment << "\n" << output;
        EXPECT_EQ(test::RunCommand("unzip -zq '" + archive.string() + "'", &output), 0);
        EXPECT_EQ(output.substr(0, comment.size()), comment);

        TZipManagerProbe fresh;
        EXPECT_EQ(fresh.Open(archive), 0);
        EXPECT_EQ(fresh.zm.ArchiveComment(), comment);
    }
    EXPECT_TRUE(probe.Codes().empty());
    EXPECT_EQ(probe.prompter.BusyLevel, 0);
}

TEST(ArchiveComment, TheSameCommentAgainLeavesTheFileUntouched) {
    test::TempDir dir;
    std::string zip = test::BuildZip({{.name = "a", .data = "x"}});
    test::Patch16(zip, zip.size() - 2, 4);
    zip += "same";
    test::WriteFile(dir / "a.zip", zip);
    // An old time stamp shows whether the file was written at all.
    const auto old_time = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    std::filesystem::last_write_time(dir / "a.zip", old_time);

    TZipManagerProbe probe;
    ASSERT_EQ(probe.Open(dir / "a.zip"), 0);
    probe.zm.SetArchiveComment("same");
    EXPECT_EQ(probe.zm.ErrCode(), 0);
    EXPECT_EQ(probe.zm.ArchiveComment(), "same");
    EXPECT_EQ(test::ReadFile(dir / "a.zip"), zip);
    EXPECT_EQ(std::filesystem::last_write_time(dir / "a.zip"), old_time);
}

TEST(ArchiveComment, StoresTheCommentInTheCodePageOfTheArchive) {
    test::TempDir dir;
    const std::string zip = test::WithHost(test::BuildZip({{.name = "a", .data = "x"}}), 0);
    test::WriteFile(dir / "a.zip", zip);
    TZipManagerProbe probe;
    ASSERT_EQ(probe.Open(dir / "a.zip"), 0);
    probe.zm.SetArchiveComment("\xC3\xA4");  // "ä", 0x84 in CP437
    EXPECT_EQ(probe.zm.ArchiveComment(), "\xC3\xA4");
    const std::string written = test::ReadFile(dir / "a.zip");
    EXPECT_EQ(written.substr(written.size() - 3), std::string("\x01\x00\x84", 3));
}

TEST(ArchiveComment, CutsACommentTooLongForItsLengthField) {
    test::TempDir dir;
    test::WriteFile(dir / "a.zip", test::BuildZip({{.name = "a", .data = "x"}}));
    TZipManagerProbe probe;
    ASSERT_EQ(probe.Open(dir / "a.zip"), 0);
    probe.zm.SetArchiveComment(std::string(70000, 'c'));
    EXPECT_EQ(probe.zm.ErrCode(), 0);
    EXPECT_EQ(probe.zm.ArchiveComment(), std::string(65535, 'c'));
    EXPECT_EQ(probe.Names(), std::vector<std::string>{"a"});
}

TEST(ArchiveComment, ReplacesTheCommentOfASelfExtractorAndDropsTrailingGarbage) {
    const std::string stub = "MZ" + std::string(500, '\x90');
    struct Case {
        const char* label;
        std::string bytes;
        std::int64_t archive_start;
    };
    const Case cases[] = {
        {"self-extractor", stub + test::BuildZip({{.name = "a", .data = "x"}}), 502},
        {"garbage after the end record", test::BuildZip({{.name = "a", .data = "x"}}) + "garbage", 0},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        test::WriteFile(dir / "a.zip", c.bytes);
        TZipManagerProbe probe;
        probe.Open(dir / "a.zip");
        probe.zm.SetArchiveComment("new");
        EXPECT_EQ(probe.zm.ArchiveComment(), "new") << c.label;
        EXPECT_EQ(probe.Names(), std::vector<std::string>{"a"}) << c.label;
        EXPECT_EQ(probe.zm.ArchiveStart(), c.archive_start) << c.label;
        const std::string written = test::ReadFile(dir / "a.zip");
        EXPECT_EQ(written.substr(written.size() - 5), std::string("\x03\x00new", 5)) << c.label;
    }
}

TEST(ArchiveComment, AFailedWriteClearsTheCommentAndLeavesTheFile) {
    test::TempDir dir;
    test::WriteFile(dir / "a.zip", test::BuildZip({{.name = "a", .data = "x"}}));
    TZipManagerProbe probe;
    ASSERT_EQ(probe.Open(dir / "a.zip"), 0);
    const std::string replaced(100, 't');  // another program replaced the archive meanwhile
    test::WriteFile(dir / "a.zip", replaced);
    probe.zm.SetArchiveComment("cannot be written");
    EXPECT_EQ(probe.zm.ErrCode(), 11036);
    EXPECT_EQ(probe.zm.ArchiveComment(), "");
    EXPECT_EQ(probe.Codes(), std::vector<int>{11036});
    EXPECT_EQ(test::ReadFile(dir / "a.zip"), replaced);
    EXPECT_FALSE(probe.zm.Busy());
}

}  // namespace
}  // namespace kv
