// The ZIP manager's operations through the real engine libraries of the build folder (skipped while they
// are not built).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "support/engine_library.h"
#include "zm_probe.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class EngineIntegration : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveZipEngineLibraries()) GTEST_SKIP() << "libzipeng.so and libunzeng.so are not built";
        zm().SetDLLDirectory(test::BinaryDir().string());
        // Password requests are answered here (no password), so an unattended extract need not warn.
        zm().OnPasswordError = [](TObject*, bool, std::string&, const std::string&, std::uint32_t&,
                                  TPasswordButton& action) { action = pwbCancel; };
        fs::create_directories(dir_ / "src" / "sub");
        test::WriteFile(dir_ / "src" / "a.txt", "alpha");
        std::string big;
        for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + "\n";
        test::WriteFile(dir_ / "src" / "sub" / "big.txt", big);
        test::WriteFile(dir_ / "src" / "sub" / "picture.png", std::string(3000, '\x89'));
    }
    TZipManager& zm() { return probe_.zm; }
    // Adds the source tree (names relative to it) with `options` added to the usual ones.
    int AddTree(AddOpts options = {}, const std::string& mask = "*") {
        options.Include(AddDirNames);
        options.Include(AddRecurseDirs);
        zm().SetZipFileName(archive_.string());
        zm().SetRootDir((dir_ / "src").string());
        zm().SetAddOptions(options);
        zm().FSpecArgs().Clear();
        zm().FSpecArgs().Add(mask);
        return zm().Add();
    }
    std::vector<std::string> SortedNames() const {
        std::vector<std::string> names = probe_.Names();
        std::sort(names.begin(), names.end());
        return names;
    }
    int ExtractAll(const fs::path& folder, ExtrOpts options = ExtrOpts{ExtrDirNames, ExtrOverWrite, ExtrForceDirs}) {
        zm().SetExtrBaseDir(folder.string());
        zm().SetExtrOptions(options);
        return zm().Extract();
    }
    bool Tested(const std::string& tool_command) const {
        std::string output;
        const int status = test::RunCommand(tool_command + " '" + archive_.string() + "'", &output);
        EXPECT_EQ(status, 0) << tool_command << "\n" << output;
        return status == 0;
    }

    test::TempDir dir_;
    const fs::path archive_ = dir_ / "made.zip";
    test::TZipManagerProbe probe_;
};

TEST_F(EngineIntegration, AddThenExtractGivesTheSameFiles) {
    EXPECT_EQ(AddTree(), 0) << zm().Message();
    EXPECT_EQ(zm().SuccessCount(), 3);
    EXPECT_EQ(SortedNames(), (std::vector<std::string>{"a.txt", "sub/big.txt", "sub/picture.png"}));
    // The picture's extension is on the store list.
    ASSERT_NE(probe_.Find("sub/picture.png"), nullptr);
    EXPECT_EQ(probe_.Find("sub/picture.png")->Method, 0);
    EXPECT_LT(probe_.Find("sub/big.txt")->PackedSize, probe_.Find("sub/big.txt")->UnpackedSize / 3);
    if (test::HaveProgram("unzip")) Tested("unzip -tq");

    EXPECT_EQ(ExtractAll(dir_ / "out"), 0) << zm().Message();
    EXPECT_EQ(zm().SuccessCount(), 3);
    for (const char* name : {"a.txt", "sub/big.txt", "sub/picture.png"})
        EXPECT_TRUE(test::ReadFile(dir_ / "out" / name) == test::ReadFile(dir_ / "src" / name)) << name;
}

TEST_F(EngineIntegration, TestModeWritesNothing) {
    ASSERT_EQ(AddTree(), 0) << zm().Message();
    EXPECT_EQ(ExtractAll(dir_ / "out", ExtrOpts{ExtrTest, ExtrDirNames}), 0) << zm().Message();
    EXPECT_EQ(zm().SuccessCount(), 3);
    EXPECT_FALSE(fs::exists(dir_ / "out"));
}

TEST_F(EngineIntegration, DeleteRemovesTheNamedEntries) {
    ASSERT_EQ(AddTree(), 0) << zm().Message();
    zm().FSpecArgs().Clear();
    zm().FSpecArgs().Add("sub/big.txt");
    EXPECT_EQ(zm().Delete(), 0) << zm().Message();
    EXPECT_EQ(zm().SuccessCount(), 1);
    EXPECT_EQ(SortedNames(), (std::vector<std::string>{"a.txt", "sub/picture.png"}));
    if (test::HaveProgram("unzip")) Tested("unzip -tq");
}

TEST_F(EngineIntegration, FreshenReplacesOnlyWhatIsThereAndUpdateAddsTheRest) {
    struct Case {
        AddOptsEnum option;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {AddFreshen, {"a.txt", "sub/big.txt", "sub/picture.png"}},
        {AddUpdate, {"a.txt", "new.txt", "sub/big.txt", "sub/picture.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        fs::remove(archive_);
        fs::remove(dir_ / "src" / "new.txt");
        ASSERT_EQ(AddTree(), 0) << zm().Message();
        test::WriteFile(dir_ / "src" / "a.txt", "changed alpha");
        fs::last_write_time(dir_ / "src" / "a.txt", fs::file_time_type::clock::now() + std::chrono::hours(1));
        test::WriteFile(dir_ / "src" / "new.txt", "new");
        EXPECT_EQ(AddTree(AddOpts{c.option}), 0) << zm().Message();
        EXPECT_EQ(SortedNames(), c.names);
        ASSERT_NE(probe_.Find("a.txt"), nullptr);
        EXPECT_EQ(probe_.Find("a.txt")->UnpackedSize, 13u);
        test::WriteFile(dir_ / "src" / "a.txt", "alpha");
    }
}

TEST_F(EngineIntegration, Aes256ArchivesOpenWithTheRightPasswordOnly) {
    zm().SetPassword("s3cret");
    zm().SetAddEncryptMethod(emAes2_256);
    ASSERT_EQ(AddTree(AddOpts{AddEncrypt}), 0) << zm().Message();
    ASSERT_NE(probe_.Find("a.txt"), nullptr);
    EXPECT_TRUE(probe_.Find("a.txt")->IsEncrypted);
    EXPECT_EQ(probe_.Find("a.txt")->Method, 99);  // the WinZip AES marker
    if (test::HaveProgram("7z")) Tested("7z t -ps3cret");

    EXPECT_EQ(ExtractAll(dir_ / "right"), 0) << zm().Message();
    EXPECT_EQ(test::ReadFile(dir_ / "right" / "a.txt"), "alpha");

    zm().SetPassword("wrong");
    std::vector<UnZipSkipTypes> skipped;
    zm().OnExtractSkipped = [&](TObject*, const std::string&, UnZipSkipTypes type, int) { skipped.push_back(type); };
    ExtractAll(dir_ / "wrong");
    EXPECT_EQ(zm().SuccessCount(), 0);
    EXPECT_FALSE(fs::exists(dir_ / "wrong" / "a.txt") && test::ReadFile(dir_ / "wrong" / "a.txt") == "alpha");
    EXPECT_NE(std::find(skipped.begin(), skipped.end(), stBadPassword), skipped.end());
}

TEST_F(EngineIntegration, ClassicCipherArchivesPassOtherTools) {
    zm().SetPassword("s3cret");
    ASSERT_EQ(AddTree(AddOpts{AddEncrypt}), 0) << zm().Message();
    EXPECT_TRUE(probe_.Find("a.txt")->IsEncrypted);
    if (test::HaveProgram("unzip")) Tested("unzip -tq -P s3cret");
    EXPECT_EQ(ExtractAll(dir_ / "out"), 0) << zm().Message();
    EXPECT_EQ(test::ReadFile(dir_ / "out" / "sub" / "big.txt"), test::ReadFile(dir_ / "src" / "sub" / "big.txt"));
}

}  // namespace
}  // namespace kv
