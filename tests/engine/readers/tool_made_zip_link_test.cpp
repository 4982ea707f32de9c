// ZIP archives made at test time by Info-ZIP zip -y (symbolic links as Unix entries of type 0120000): the
// reader restores the links unzip restores, except one leading out of the destination, which it refuses and
// reports; permissions come back as stored; an existing file gives way to a link only when overwriting.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/reader_run.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// What differs between the trees `got` and `want` ("" when nothing does): kinds, link targets and bytes.
std::string CompareTrees(const fs::path& got, const fs::path& want) {
    std::string differences;
    for (auto it = fs::recursive_directory_iterator(want); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path relative = it->path().lexically_relative(want);
        const fs::path mine = got / relative;
        const std::string name = relative.string();
        if (it->is_symlink()) {
            if (!fs::is_symlink(mine) || fs::read_symlink(mine) != fs::read_symlink(it->path()))
                differences += name + ": not the link\n";
        } else if (it->is_directory()) {
            if (fs::is_symlink(mine) || !fs::is_directory(mine)) differences += name + ": not a folder\n";
        } else if (fs::is_symlink(mine) || !fs::is_regular_file(mine) ||
                   test::ReadFile(mine) != test::ReadFile(it->path())) {
            differences += name + ": not the file\n";
        } else if (fs::status(mine).permissions() != fs::status(it->path()).permissions()) {
            differences += name + ": other permissions\n";
        }
    }
    for (auto it = fs::recursive_directory_iterator(got); it != fs::recursive_directory_iterator(); ++it)
        if (!fs::exists(fs::symlink_status(want / it->path().lexically_relative(got))))
            differences += "unexpected " + it->path().lexically_relative(got).string() + "\n";
    return differences;
}

class ToolMadeZipLinks : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path top = dir_ / "src/top";
        fs::create_directories(top / "sub");
        test::WriteFile(top / "file.txt", "the file\n");
        test::WriteFile(top / "sub/run.sh", "#!/bin/sh\n");
        fs::permissions(top / "sub/run.sh", fs::perms(0750));
        fs::create_symlink("file.txt", top / "link");
        fs::create_symlink("sub", top / "folder-link");
        fs::create_symlink("../file.txt", top / "sub/up");
        fs::create_symlink("missing", top / "dangling");
        fs::create_symlink("../../outside", top / "escape");
    }

    // Makes links.zip with zip -y and what unzip extracts from it; false when either is missing.
    bool Make() {
        if (!test::HaveProgram("zip") || !test::HaveProgram("unzip")) return false;
        std::string output;
        EXPECT_EQ(test::RunCommand("cd " + test::Quoted(dir_ / "src") + " && zip -qry ../links.zip top", &output), 0)
            << output;
        EXPECT_EQ(test::RunCommand("unzip -q " + test::Quoted(dir_ / "links.zip") + " -d " + test::Quoted(dir_ / "unzip"),
                                   &output),
                  0)
            << output;
        return true;
    }

    test::TempDir dir_;
};

TEST_F(ToolMadeZipLinks, LinksComeBackAsUnzipMakesThemAndNoneLeadsOut) {
    if (!Make()) GTEST_SKIP() << "zip or unzip absent";
    const fs::path out = dir_ / "a/out";
    EXPECT_EQ(test::ExtractWithReader(dir_ / "links.zip", atZip, out), "escape: Invalid file name (../../outside)\n");
    // unzip writes the link that leads out as well; here it is refused.
    fs::remove(dir_ / "unzip/top/escape");
    EXPECT_EQ(CompareTrees(out, dir_ / "unzip"), "");

    // Again over the first extraction: the links are replaced, not followed.
    EXPECT_EQ(test::ExtractWithReader(dir_ / "links.zip", atZip, out), "escape: Invalid file name (../../outside)\n");
    EXPECT_EQ(CompareTrees(out, dir_ / "unzip"), "");
}

TEST_F(ToolMadeZipLinks, ALinkReplacesAnExistingFileOnlyWhenOverwriting) {
    if (!Make()) GTEST_SKIP() << "zip or unzip absent";
    const fs::path out = dir_ / "out";
    for (const TOverwriteMode mode : {omSkip, omOverwrite}) {
        fs::create_directories(out / "top");
        test::WriteFile(out / "top/link", "the user's file\n");
        std::unique_ptr<TUnBase> reader = CreateReader(atZip);
        reader->SetArchiveFile((dir_ / "links.zip").string());
        reader->FileSpec = {"top/link"};
        reader->OverwriteMode = mode;
        reader->SetExtractDir(out.string());
        reader->Extract();
        if (mode == omSkip) {
            EXPECT_FALSE(fs::is_symlink(out / "top/link"));
            EXPECT_EQ(test::ReadFile(out / "top/link"), "the user's file\n");
        } else {
            EXPECT_TRUE(fs::is_symlink(out / "top/link"));
            EXPECT_EQ(fs::read_symlink(out / "top/link"), "file.txt");
        }
    }
}

}  // namespace
}  // namespace kv
