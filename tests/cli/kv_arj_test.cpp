// kv with archives arj makes: garbled entries and volume sets extract and test; a damaged, cut or
// incomplete archive, or a wrong password, makes kv t and kv x exit with 1 and a message, and leaves the
// file already on disk as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/kv_tree_fixture.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class KvArj : public test::KvTreeTest {
protected:
    void SetUp() override {
        if (!test::HaveProgram("arj")) GTEST_SKIP() << "arj not installed";
        KvTreeTest::SetUp();
    }
    void Arj(const std::string& arguments) {
        std::string out;
        ASSERT_EQ(Sh("arj a -r -y " + arguments + " 'src/*'", &out), 0) << out;
    }
};

TEST_F(KvArj, GarbledVolumeSetsTestAndExtract) {
    Arj("-m4 -gsecret -v40K v.arj");
    ASSERT_TRUE(fs::exists(dir_ / "v.a01"));
    std::string out;
    EXPECT_EQ(Run("t v.arj -p secret", &out), 0) << out;
    EXPECT_EQ(Run("x v.arj -p secret -y -o out", &out), 0) << out;
    ExpectSameTree(dir_ / "out");
}

TEST_F(KvArj, BrokenArchivesExitWithOneAndSaySo) {
    Arj("-m1 a.arj");
    Arj("-m1 -v40K v.arj");
    Arj("-m1 -gsecret g.arj");
    const std::string bytes = test::ReadFile(dir_ / "a.arj");
    std::string flipped = bytes;
    flipped[bytes.size() / 2] = static_cast<char>(flipped[bytes.size() / 2] ^ 0x08);
    test::WriteFile(dir_ / "flipped.arj", flipped);
    test::WriteFile(dir_ / "cut.arj", bytes.substr(0, bytes.size() - bytes.size() / 3));
    fs::copy_file(dir_ / "v.arj", dir_ / "alone.arj");  // its next volume, alone.a01, does not exist
    struct Case {
        const char* name;
        std::string args;
    } const cases[] = {
        {"a bit flipped", "flipped.arj"},
        {"cut", "cut.arj"},
        {"a volume missing", "alone.arj"},
        {"a wrong password", "g.arj -p wrong"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        EXPECT_EQ(Run("t " + c.args, &out), 1) << out;
        EXPECT_FALSE(out.empty());
        // The text file is there before: a failed entry leaves it as it was.
        fs::create_directories(dir_ / "out" / "src");
        test::WriteFile(dir_ / "out" / "src" / "text.txt", "kept");
        EXPECT_EQ(Run("x " + c.args + " -y -o out", &out), 1) << out;
        EXPECT_FALSE(out.empty());
        const std::string text = test::ReadFile(dir_ / "out" / "src" / "text.txt");
        EXPECT_TRUE(text == "kept" || text == test::ReadFile(src() / "text.txt"));
        fs::remove_all(dir_ / "out");
    }
}

}  // namespace
}  // namespace kv
