// The TAR reader on hand-built archives: links inside and outside the extraction folder, hostile names,
// data cut short and damaged headers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/folder_contents.h"
#include "support/reader_run.h"
#include "support/tar_reader_run.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

using test::IsWithin;

fs::path WriteTar(const fs::path& folder, const std::string& body) {
    const fs::path archive = folder / "test.tar";
    test::WriteFile(archive, body + test::TarEnd());
    EXPECT_EQ(test::DetectType(archive), atTar);
    return archive;
}

// Everything below `root` outside `destination`, the folders leading to it and the `allowed` items aside.
std::string ItemsOutside(const fs::path& root, const fs::path& destination, const std::vector<fs::path>& allowed) {
    std::string items;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& path = it->path();
        if (!IsWithin(path, destination) && !IsWithin(destination, path) &&
            std::find(allowed.begin(), allowed.end(), path) == allowed.end())
            items += path.string() + "\n";
    }
    return items;
}

// Files, a folder, an empty file, and links that stay inside: symbolic ones as links, a hard link as a
// second name of the same file. Testing writes nothing and passes every entry.
TEST(ExtractTar, FilesFoldersAndLinksInsideTheDestination) {
    test::TempDir dir;
    const fs::path archive = WriteTar(
        dir.Path(), test::TarHeader({.name = "dir/", .type = '5'}) + test::TarMember({.name = "dir/a.txt"}, "alpha\n") +
                        test::TarMember({.name = "./empty"}, "") + test::TarMember({.name = "old-style-folder/", .type = '0'}, "") +
                        test::TarLinkHeader("dir/same", '2', "a.txt") +
                        test::TarLinkHeader("up/to-a", '2', "./../dir/a.txt") +
                        test::TarLinkHeader("hard", '1', "./dir/a.txt") + test::TarLinkHeader("hard2", '1', "hard"));
    const fs::path out = dir / "out";
    const test::TarRun run = test::RunTarReader(archive, out, false);
    EXPECT_EQ(run.reported, "");
    EXPECT_EQ(run.count, 8);
    EXPECT_EQ(test::ReadFile(out / "dir/a.txt"), "alpha\n");
    EXPECT_TRUE(fs::is_regular_file(out / "empty"));
    EXPECT_EQ(fs::file_size(out / "empty"), 0u);
    EXPECT_TRUE(fs::is_directory(out / "old-style-folder"));
    EXPECT_EQ(fs::read_symlink(out / "dir/same"), "a.txt");
    EXPECT_EQ(fs::read_symlink(out / "up/to-a"), "./../dir/a.txt");
    EXPECT_EQ(test::ReadFile(out / "up/to-a"), "alpha\n");
    EXPECT_TRUE(fs::equivalent(out / "hard", out / "dir/a.txt"));
    EXPECT_TRUE(fs::equivalent(out / "hard2", out / "dir/a.txt"));

    const fs::path tested = dir / "tested";
    const test::TarRun test_run = test::RunTarReader(archive, tested, true);
    EXPECT_EQ(test_run.reported, "");
    EXPECT_EQ(test_run.passed.size(), 8u);
    EXPECT_FALSE(fs::exists(tested));
}

// Every way out of the destination is refused and reported, the run goes on with the next member, and
// nothing appears outside. The destination lies two levels down, so that climbing names would show.
TEST(ExtractTar, NothingLeadsOutOfTheDestination) {
    struct Case {
        const char* what;
        std::string members;  // built with `outside` standing for the folder beside the sandbox's tree
        std::string reported;
    };
    test::TempDir sandbox;
    const fs::path outside = sandbox / "outside";
    const fs::path out = sandbox / "a/b/out";
    const std::string after = test::TarMember({.name = "after.txt"}, "still here\n");
    const std::vector<Case> cases = {
        {"absolute symbolic link", test::TarLinkHeader("evil", '2', outside.string()),
         "evil: Invalid file name (" + outside.string() + ")\n"},
        {"climbing symbolic link", test::TarLinkHeader("sub/evil", '2', "../../x"),
         "evil: Invalid file name (../../x)\n"},
        {"a link to the folder above, then a file through it",
         test::TarLinkHeader("evil", '2', "..") + test::TarMember({.name = "evil/x"}, "x"),
         "evil: Invalid file name (..)\n"},
        // "top" leads to the destination itself, so "top/.." would be the folder above it.
        {"chained symbolic links", test::TarLinkHeader("top", '2', ".") + test::TarLinkHeader("evil", '2', "top/..") +
                                       test::TarMember({.name = "evil/x"}, "x"),
         "evil: Invalid file name (top/..)\n"},
        {"hard links out or to nothing extracted",
         test::TarLinkHeader("h1", '1', "/etc/passwd") + test::TarLinkHeader("h2", '1', "../x") +
             test::TarLinkHeader("h3", '1', "never-extracted"),
         "h1: Invalid file name (/etc/passwd)\nh2: Invalid file name (../x)\nh3: Invalid file name (never-extracted)\n"},
        {"climbing and absolute names",
         test::TarMember({.name = "../x"}, "x") + test::TarMember({.name = (outside / "abs").string()}, "y"), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(sandbox / "a");
        fs::create_directories(out);
        fs::create_directories(outside);
        const fs::path archive = WriteTar(sandbox / "a", c.members + after);
        const test::TarRun run = test::RunTarReader(archive, out, false);
        EXPECT_EQ(run.reported, c.reported);
        EXPECT_EQ(test::ReadFile(out / "after.txt"), "still here\n");
        EXPECT_TRUE(fs::is_empty(outside));
        EXPECT_EQ(ItemsOutside(sandbox.Path(), out, {sandbox / "a/test.tar", outside}), "");
        for (auto it = fs::recursive_directory_iterator(out); it != fs::recursive_directory_iterator(); ++it) {
            if (it->is_symlink() && !IsWithin(fs::weakly_canonical(it->path()), fs::canonical(out)))
                ADD_FAILURE() << "a link leads out: " << it->path();
        }
    }
}

// A link an earlier program left in the destination is not written through.
TEST(ExtractTar, AnExistingLinkInTheDestinationIsNotFollowed) {
    test::TempDir sandbox;
    const fs::path outside = sandbox / "outside";
    const fs::path out = sandbox / "out";
    fs::create_directories(outside);
    fs::create_directories(out);
    fs::create_directory_symlink(outside, out / "evil");
    const fs::path archive = WriteTar(sandbox.Path(), test::TarMember({.name = "evil/x"}, "x") +
                                                          test::TarLinkHeader("evil/y", '2', "x"));
    const test::TarRun run = test::RunTarReader(archive, out, false);
    EXPECT_EQ(run.reported, "x: Invalid file name\ny: Invalid file name\n");
    EXPECT_TRUE(fs::is_empty(outside));
}

// TAR keeps no checksum: data cut short is what fails a member, in tests and extractions alike, and a
// damaged header ends the archive quietly.
// Each member's own time goes to its file, to the second, also before 1980 and before 1970: octal seconds,
// GNU tar's base-256 negative seconds, and pax times with a fraction (which rounds down).
TEST(ExtractTar, FilesGetTheTimesTheArchiveHolds) {
    const auto octal = [](std::int64_t seconds) {
        char field[16];
        std::snprintf(field, sizeof field, "%011llo", static_cast<unsigned long long>(seconds));
        return std::string(field, 12);
    };
    const auto base256 = [](std::int64_t seconds) {
        std::string field(12, '\xFF');
        for (int i = 0; i < 8; ++i) field[11 - i] = static_cast<char>(static_cast<std::uint64_t>(seconds) >> (8 * i));
        return field;
    };
    const auto header_time = [](const std::string& name, const std::string& field) {
        return test::WithTarField(test::TarHeader({.name = name}), 136, field);
    };
    const auto pax_time = [](const std::string& name, const std::string& mtime) {
        return test::TarMember({.name = "PaxHeaders/" + name, .type = 'x'}, test::PaxRecord("mtime", mtime)) +
               test::TarHeader({.name = name});
    };
    struct Case {
        std::string name;
        std::string member;
        std::int64_t seconds;
    };
    const std::vector<Case> cases = {
        {"odd-second.txt", header_time("odd-second.txt", octal(1600000001)), 1600000001},
        {"1973.txt", header_time("1973.txt", octal(100000000)), 100000000},
        {"1938.txt", header_time("1938.txt", base256(-1000000000)), -1000000000},
        {"pax.txt", pax_time("pax.txt", "1234567890.75"), 1234567890},
        {"pax-1938.txt", pax_time("pax-1938.txt", "-1000000000.25"), -1000000001},
    };
    std::string body;
    for (const Case& c : cases) body += c.member;
    test::TempDir dir;
    const test::TarRun run = test::RunTarReader(WriteTar(dir.Path(), body), dir / "out", false);
    EXPECT_EQ(run.reported, "");
    for (const Case& c : cases) {
        struct stat status {};
        ASSERT_EQ(::stat((dir / "out" / c.name).c_str(), &status), 0) << c.name;
        EXPECT_EQ(status.st_mtime, c.seconds) << c.name;
    }
}

// A hard link names its file as the member was named; a leading "/" is dropped from it as from names.
TEST(ExtractTar, AHardLinkToAnAbsoluteNameFindsTheFileExtracted) {
    test::TempDir dir;
    const std::string body = test::TarMember({.name = "/top/file.txt"}, "linked\n") +
                             test::TarLinkHeader("again.txt", '1', "/top/file.txt");
    const test::TarRun run = test::RunTarReader(WriteTar(dir.Path(), body), dir / "out", false);
    EXPECT_EQ(run.reported, "");
    ASSERT_TRUE(fs::exists(dir / "out/again.txt"));
    EXPECT_TRUE(fs::equivalent(dir / "out/again.txt", dir / "out/top/file.txt"));
}

TEST(ExtractTar, DamagedArchives) {
    struct Case {
        const char* what;
        std::string body;  // without the end blocks
        bool end_blocks;
        std::string reported;
        std::vector<std::string> passed;
    };
    const std::string first = test::TarMember({.name = "first.txt"}, "first\n");
    const std::string cut = test::TarHeader({.name = "cut.bin", .size = 5000}) + std::string(1500, 'c');
    const std::vector<Case> cases = {
        {"the last member cut short", first + cut, false,
         "cut.bin: Error reading file or unexpected end of file\ncut.bin: fails its check\n", {"first.txt"}},
        {"a size field far beyond the file",
         first + test::TarHeader({.name = "huge.bin", .size_field = std::string("\x80\0\0\0\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 12)}) +
             std::string(512, 'h'),
         false, "huge.bin: Error reading file or unexpected end of file\nhuge.bin: fails its check\n", {"first.txt"}},
        {"a bad checksum ends the walk",
         first + test::TarHeader({.name = "bad.txt", .size = 0, .break_checksum = true}) +
             test::TarMember({.name = "behind.txt"}, "behind\n"),
         true, "", {"first.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const fs::path archive = dir / "damaged.tar";
        test::WriteFile(archive, c.body + (c.end_blocks ? test::TarEnd() : ""));
        for (const bool testing : {true, false}) {
            SCOPED_TRACE(testing ? "testing" : "extracting");
            const test::TarRun run = test::RunTarReader(archive, dir / "out", testing);
            EXPECT_EQ(run.reported, c.reported);
            EXPECT_EQ(run.passed, c.passed);
        }
        EXPECT_EQ(test::ReadFile(dir / "out/first.txt"), "first\n");
    }
}

}  // namespace
}  // namespace kv
