#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/trash.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class TrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_DATA_HOME")) saved_ = old;
        ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    }
    void TearDown() override {
        if (saved_.empty()) ::unsetenv("XDG_DATA_HOME");
        else ::setenv("XDG_DATA_HOME", saved_.c_str(), 1);
    }
    test::TempDir dir_;
    std::string saved_;
};

TEST_F(TrashTest, TrashedFilesKeepTheirBytesAndARecordOfWhereTheyWere) {
    const fs::path trash = dir_ / "data" / "Trash";
    for (int i = 0; i < 2; ++i) {  // the same name twice gets two places
        test::WriteFile(dir_ / "my file.zip", "copy " + std::to_string(i));
        ASSERT_TRUE(platform::MoveToTrash((dir_ / "my file.zip").string()));
        EXPECT_FALSE(fs::exists(dir_ / "my file.zip"));
    }
    EXPECT_EQ(test::ReadFile(trash / "files" / "my file.zip"), "copy 0");
    EXPECT_EQ(test::ReadFile(trash / "files" / "my file.zip.2"), "copy 1");
    const std::string record = test::ReadFile(trash / "info" / "my file.zip.2.trashinfo");
    EXPECT_EQ(record.rfind("[Trash Info]\nPath=/", 0), 0u) << record;
    EXPECT_NE(record.find("my%20file.zip\nDeletionDate="), std::string::npos) << record;
}

TEST_F(TrashTest, RemoveFileDeletesForGoodUnlessUndoIsAllowed) {
    test::WriteFile(dir_ / "a.txt", "a");
    test::WriteFile(dir_ / "b.txt", "b");
    EXPECT_TRUE(platform::RemoveFile((dir_ / "a.txt").string(), false));
    EXPECT_TRUE(platform::RemoveFile((dir_ / "b.txt").string(), true));
    EXPECT_FALSE(fs::exists(dir_ / "a.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "data" / "Trash" / "files" / "a.txt"));
    EXPECT_EQ(test::ReadFile(dir_ / "data" / "Trash" / "files" / "b.txt"), "b");
    EXPECT_FALSE(platform::MoveToTrash((dir_ / "missing").string()));
    EXPECT_FALSE(platform::RemoveFile((dir_ / "missing").string(), true));
}

}  // namespace
}  // namespace kv
