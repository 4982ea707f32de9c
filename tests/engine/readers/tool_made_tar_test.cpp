// Archives made at test time by GNU tar (ustar, gnu and pax formats) and bsdtar extract to the tree that
// went in: bytes, names of every length, empty files and folders, links, modification times (also of
// folders and links, also before 1980) and modes (also of folders).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/archiver.h"
#include "support/sample_data.h"
#include "support/tar_reader_run.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kStoredTime = 1600000001;  // an odd second, which MS-DOS times cannot hold
constexpr std::int64_t kOldTime = 157766401;      // 1975, before MS-DOS times begin

mode_t Umask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::int64_t UnixTime(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 ? status.st_mtime : -1;
}

void WriteWithFolders(const fs::path& path, const std::string& data) {
    fs::create_directories(path.parent_path());
    test::WriteFile(path, data);
}

class ToolMadeTarTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path top = dir_ / "src/top";
        fs::create_directories(top / "emptydir");
        test::WriteFile(top / "plain.txt", "plain text\n");
        test::WriteFile(top / "run.sh", "#!/bin/sh\necho hi\n");
        test::WriteFile(top / "readonly.txt", "do not change\n");
        test::WriteFile(top / "empty", "");
        test::WriteFile(top / "big.bin", test::RandomBytes(3 * 1024 * 1024 + 123));
        WriteWithFolders(top / (std::string(90, 'n') + "/over-100-characters-in-all.txt"), "long folder\n");
        std::string deep = "deep";
        for (int level = 0; level < 20; ++level) deep += "/level" + std::to_string(level);
        WriteWithFolders(top / deep / "deep.txt", "deep\n");
        fs::create_symlink("plain.txt", top / "link");
        fs::create_symlink("../top/" + std::string(90, 'n'), top / "folder-link");
        fs::create_hard_link(top / "plain.txt", top / "hard");
        fs::permissions(top / "run.sh", fs::perms(0755));
        fs::permissions(top / "readonly.txt", fs::perms(0444));
        // A folder's own permissions and time must survive the writing of its contents.
        WriteWithFolders(top / "private/inside.txt", "inside\n");
        fs::permissions(top / "private", fs::perms(0750));
        test::WriteFile(top / "old.txt", "from 1975\n");
        StampTimes();
    }

    void StampTimes() {
        test::RunCommand("find '" + (dir_ / "src").string() + "' -exec touch -h -d @" + std::to_string(kStoredTime) +
                         " {} +");
        test::RunCommand("touch -d @" + std::to_string(kOldTime) + " '" + (dir_ / "src/top/old.txt").string() + "'");
    }

    // A path over 255 bytes, which ustar cannot store.
    void AddLongPath() {
        WriteWithFolders(dir_ / "src/top" / (std::string(150, 'p') + "/" + std::string(150, 'q') + ".txt"), "very long\n");
        StampTimes();
    }

    // Makes the archive with `command` (run in the source folder, archives go beside it); false when the tool is missing.
    bool Make(const std::string& tool, const std::string& command) {
        return test::RunArchiver(tool, dir_ / "src", command);
    }

    // What differs between the source tree and `out` ("" when nothing does).
    std::string CompareWithSource(const fs::path& out) const {
        std::string differences;
        const fs::path source = dir_ / "src";
        const mode_t withheld = Umask();
        for (auto it = fs::recursive_directory_iterator(source); it != fs::recursive_directory_iterator(); ++it) {
            const fs::path relative = it->path().lexically_relative(source);
            const fs::path written = out / relative;
            const std::string name = relative.string();
            // Links, folders and files alike keep their own time to the second.
            if (UnixTime(written) != UnixTime(it->path())) differences += name + ": time differs\n";
            const auto mode_differs = [&] {
                const auto mode = static_cast<unsigned>(fs::status(it->path()).permissions() & fs::perms::mask);
                const auto written_mode = static_cast<unsigned>(fs::status(written).permissions() & fs::perms::mask);
                if (written_mode != (mode & ~withheld)) differences += name + ": mode " + std::to_string(written_mode) + "\n";
            };
            if (it->is_symlink()) {
                if (!fs::is_symlink(written) || fs::read_symlink(written) != fs::read_symlink(it->path()))
                    differences += name + ": not the link\n";
            } else if (it->is_directory()) {
                if (!fs::is_directory(written) || fs::is_symlink(written)) differences += name + ": not a folder\n";
                else mode_differs();
            } else if (fs::is_symlink(written) || !fs::is_regular_file(written)) {
                differences += name + ": not a file\n";
            } else {
                if (test::ReadFile(written) != test::ReadFile(it->path())) differences += name + ": bytes differ\n";
                mode_differs();
            }
        }
        for (auto it = fs::recursive_directory_iterator(out); it != fs::recursive_directory_iterator(); ++it) {
            if (!fs::exists(fs::symlink_status(source / it->path().lexically_relative(out))))
                differences += "unexpected " + it->path().string() + "\n";
        }
        if (!fs::equivalent(out / "top/hard", out / "top/plain.txt")) differences += "the hard link is a copy\n";
        return differences;
    }

    // Extracts and tests `archive`: every member passes, and the extracted tree is the source.
    void ExpectWholeTree(const std::string& archive) {
        const fs::path out = dir_ / ("out-" + archive);
        const test::TarRun run = test::RunTarReader(dir_ / archive, out, false);
        EXPECT_EQ(run.reported, "");
        EXPECT_EQ(CompareWithSource(out), "");
        const test::TarRun tested = test::RunTarReader(dir_ / archive, dir_ / "nowhere", true);
        EXPECT_EQ(tested.reported, "");
        EXPECT_EQ(tested.passed.size(), run.passed.size());
        EXPECT_GT(tested.passed.size(), 10u);
    }

    test::TempDir dir_;
};

TEST_F(ToolMadeTarTest, GnuTarFormats) {
    if (!Make("tar", "tar --format=ustar -cf ../ustar.tar top")) GTEST_SKIP() << "GNU tar absent";
    ExpectWholeTree("ustar.tar");
    AddLongPath();
    for (const char* format : {"gnu", "pax"}) {
        SCOPED_TRACE(format);
        const std::string archive = std::string(format) + ".tar";
        ASSERT_TRUE(Make("tar", "tar --format=" + std::string(format) + " -cf ../" + archive + " top"));
        ExpectWholeTree(archive);
    }
}

TEST_F(ToolMadeTarTest, Bsdtar) {
    AddLongPath();
    if (!Make("bsdtar", "bsdtar -cf ../bsd.tar top")) GTEST_SKIP() << "bsdtar absent";
    ExpectWholeTree("bsd.tar");
}

// A FileSpec takes its files only; a hard link whose file was left out is refused.
TEST_F(ToolMadeTarTest, FileSpecSelectsASubset) {
    if (!Make("tar", "tar --format=gnu -cf ../gnu.tar top")) GTEST_SKIP() << "GNU tar absent";
    const fs::path out = dir_ / "out";
    const test::TarRun run = test::RunTarReader(dir_ / "gnu.tar", out, false, {"*.sh", "*.bin"});
    EXPECT_EQ(run.reported, "");
    std::vector<std::string> written;
    for (auto it = fs::recursive_directory_iterator(out); it != fs::recursive_directory_iterator(); ++it)
        if (!it->is_directory()) written.push_back(it->path().lexically_relative(out).string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"top/big.bin", "top/run.sh"}));
    EXPECT_EQ(test::ReadFile(out / "top/big.bin"), test::ReadFile(dir_ / "src/top/big.bin"));
}

}  // namespace
}  // namespace kv
