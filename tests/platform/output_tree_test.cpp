// The output tree looks at each step below the destination once: links met beyond the folders it already
// verified are still refused, and folders are only ever made below real folders.
#include "platform/output_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace kv::platform {
namespace {

namespace fs = std::filesystem;

class OutputTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "outside");
        fs::create_directories(dir_ / "out" / "real");
        test::WriteFile(dir_ / "out" / "real" / "file.txt", "x");
        test::WriteFile(dir_ / "outside" / "victim.txt", "precious");
        fs::create_directory_symlink(dir_ / "outside", dir_ / "out" / "real" / "link");
        fs::create_symlink(dir_ / "outside" / "victim.txt", dir_ / "out" / "real" / "file-link");
        tree_.SetBase(Base());
    }
    std::string Base() const { return (dir_ / "out").string() + "/"; }
    std::string Out(const std::string& relative) const { return Base() + relative; }
    test::TempDir dir_;
    TOutputTree tree_;
};

TEST_F(OutputTreeTest, RefusesLinksBeyondTheVerifiedFoldersEvenAfterMakingThem) {
    const struct {
        const char* path;
        TOutputPathState state;
    } cases[] = {
        {"real/new.txt", TOutputPathState::opsMissing},
        {"real/file.txt", TOutputPathState::opsFile},
        {"real", TOutputPathState::opsFolder},
        {"real/link/x.txt", TOutputPathState::opsRefused},
        {"real/link/", TOutputPathState::opsRefused},
        {"real/link", TOutputPathState::opsLink},
        {"real/file-link", TOutputPathState::opsLink},
        {"new/deeper/x.txt", TOutputPathState::opsMissing},
    };
    // Once cold, once with "real/" verified and made, once with a sibling made last.
    for (const char* made : {"", "real/", "real/sub/"}) {
        if (*made != '\0') {
            ASSERT_TRUE(tree_.MakeFolder(Out(made))) << made;
        }
        for (const auto& c : cases) EXPECT_EQ(tree_.Inspect(Out(c.path)), c.state) << c.path << " after " << made;
    }
    EXPECT_EQ(tree_.Inspect((dir_ / "outside" / "victim.txt").string()), TOutputPathState::opsRefused);
    EXPECT_EQ(tree_.Inspect(Base()), TOutputPathState::opsRefused);  // the destination is no output
}

TEST_F(OutputTreeTest, MakesFoldersOnlyBelowRealFolders) {
    EXPECT_FALSE(tree_.MakeFolder(Out("real/link/sub/")));
    EXPECT_FALSE(fs::exists(dir_ / "outside" / "sub"));
    EXPECT_FALSE(tree_.MakeFolder(Out("real/file.txt/sub/")));
    EXPECT_FALSE(tree_.MakeFolder((dir_ / "outside" / "sub").string() + "/"));
    EXPECT_TRUE(tree_.MakeFolder(Out("a/b/c/")));
    EXPECT_TRUE(fs::is_directory(dir_ / "out" / "a" / "b" / "c"));

    // A destination that does not exist yet is made with the first folder below it.
    TOutputTree fresh;
    fresh.SetBase((dir_ / "new-dest" / "deep").string() + "/");
    EXPECT_TRUE(fresh.MakeFolder((dir_ / "new-dest" / "deep" / "x").string() + "/"));
    EXPECT_TRUE(fs::is_directory(dir_ / "new-dest" / "deep" / "x"));
}

}  // namespace
}  // namespace kv::platform
