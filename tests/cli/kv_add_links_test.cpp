// kv a keeps what is on disk: files without a dot in their name, names that differ only in case, and
// symbolic links (stored as links, or followed with -L without walking a loop forever), in ZIP, JAR, TAR
// and TAR.GZ, read back by an independent extractor.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "cli/kv_program.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::Kv;

// A tree as a table: relative path → "file:" + contents, or "link:" + target. Folders show through the
// paths under them.
using TTree = std::map<std::string, std::string>;

TTree ReadTree(const fs::path& root) {
    TTree tree;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        // Lexically: fs::relative would resolve the links themselves.
        const std::string relative = it->path().lexically_relative(root).string();
        if (it->is_symlink()) {
            tree[relative] = "link:" + fs::read_symlink(it->path()).string();
        } else if (it->is_regular_file()) {
            tree[relative] = "file:" + test::ReadFile(it->path());
        }
    }
    return tree;
}

class KvAddLinks : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path s = dir_ / "s";
        fs::create_directories(s / "d");
        test::WriteFile(s / "README", "readme\n");
        test::WriteFile(s / "Makefile", "all:\n");
        test::WriteFile(s / "a.txt", "alpha\n");
        test::WriteFile(s / "d" / "LICENSE", "license\n");
        test::WriteFile(s / "d" / "xt_connmark.h", "lower\n");
        test::WriteFile(s / "d" / "xt_CONNMARK.h", "upper\n");
        fs::create_symlink("a.txt", s / "link-file");
        fs::create_directory_symlink("d", s / "link-dir");
        fs::create_symlink("missing", s / "dangling");
        fs::create_directory_symlink("..", s / "d" / "loop");
    }
    int Sh(const std::string& command, std::string* out = nullptr) {
        return test::RunCommand("cd '" + dir_.Path().string() + "' && " + command + " 2>&1 </dev/null", out);
    }
    // What bsdtar extracts from `archive`, as a table.
    TTree Extracted(const std::string& archive) {
        const fs::path out = dir_ / ("out-" + archive);
        fs::create_directories(out);
        std::string text;
        EXPECT_EQ(Sh("bsdtar -xf " + archive + " -C '" + out.string() + "'", &text), 0) << text;
        return ReadTree(out / "s");
    }
    test::TempDir dir_;
};

// ZIP goes through the ZIP manager and its engine library, JAR through the engine's own ZIP writer.
const char* const kArchives[] = {"k.zip", "k.jar", "k.tar", "k.tar.gz"};

TEST_F(KvAddLinks, LinksAreStoredAsLinksAndEveryNameIsKept) {
    if (!test::HaveProgram("bsdtar")) GTEST_SKIP() << "bsdtar (libarchive-tools) not installed";
    const TTree on_disk = ReadTree(dir_ / "s");
    ASSERT_EQ(on_disk.size(), 10u);
    for (const char* archive : kArchives) {
        SCOPED_TRACE(archive);
        std::string out;
        ASSERT_EQ(Sh(Kv() + " a -r " + archive + " s", &out), 0) << out;
        EXPECT_EQ(Extracted(archive), on_disk);
    }
    // Info-ZIP's reader sees Unix links (mode 0120000) as zip -y writes them.
    if (test::HaveProgram("zipinfo")) {
        std::string listing;
        ASSERT_EQ(Sh("zipinfo k.zip s/link-dir", &listing), 0) << listing;
        EXPECT_EQ(listing.rfind("lrwx", 0), 0u) << listing;
    }
}

TEST_F(KvAddLinks, FollowedLinksGiveWhatTheyLeadToAndALoopStaysALink) {
    if (!test::HaveProgram("bsdtar")) GTEST_SKIP() << "bsdtar (libarchive-tools) not installed";
    const TTree expected = {
        {"README", "file:readme\n"},
        {"Makefile", "file:all:\n"},
        {"a.txt", "file:alpha\n"},
        {"d/LICENSE", "file:license\n"},
        {"d/xt_connmark.h", "file:lower\n"},
        {"d/xt_CONNMARK.h", "file:upper\n"},
        {"d/loop", "link:.."},
        {"link-file", "file:alpha\n"},
        {"link-dir/LICENSE", "file:license\n"},
        {"link-dir/xt_connmark.h", "file:lower\n"},
        {"link-dir/xt_CONNMARK.h", "file:upper\n"},
        {"link-dir/loop", "link:.."},
        {"dangling", "link:missing"},
    };
    for (const char* archive : kArchives) {
        SCOPED_TRACE(archive);
        std::string out;
        ASSERT_EQ(Sh(Kv() + " a -r -L " + archive + " s", &out), 0) << out;
        EXPECT_EQ(Extracted(archive), expected);
    }
}

// An entry is named by its exact name: adding again, updating and deleting one of two names that differ
// only in case leaves the other alone.
TEST_F(KvAddLinks, NamesThatDifferInCaseAreTwoEntries) {
    if (!test::HaveProgram("bsdtar")) GTEST_SKIP() << "bsdtar (libarchive-tools) not installed";
    for (const char* archive : kArchives) {
        SCOPED_TRACE(archive);
        std::string out;
        ASSERT_EQ(Sh(Kv() + " a -r " + archive + " s", &out), 0) << out;
        test::WriteFile(dir_ / "s" / "d" / "xt_CONNMARK.h", "upper, changed\n");
        fs::last_write_time(dir_ / "s" / "d" / "xt_CONNMARK.h", fs::file_time_type::clock::now() + std::chrono::hours(1));
        ASSERT_EQ(Sh(Kv() + " a -r --update " + archive + " s", &out), 0) << out;
        TTree tree = Extracted(archive);
        EXPECT_EQ(tree["d/xt_connmark.h"], "file:lower\n");
        EXPECT_EQ(tree["d/xt_CONNMARK.h"], "file:upper, changed\n");

        ASSERT_EQ(Sh(Kv() + " d " + archive + " s/d/xt_CONNMARK.h", &out), 0) << out;
        fs::remove_all(dir_ / ("out-" + std::string(archive)));
        tree = Extracted(archive);
        EXPECT_EQ(tree.count("d/xt_CONNMARK.h"), 0u);
        EXPECT_EQ(tree["d/xt_connmark.h"], "file:lower\n");
        test::WriteFile(dir_ / "s" / "d" / "xt_CONNMARK.h", "upper\n");
    }
}

}  // namespace
}  // namespace kv
