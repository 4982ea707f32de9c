#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>

#include "cli/kv_program.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace kv {
namespace {

class KvList : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
        std::filesystem::create_directories(dir_ / "src" / "docs");
        test::WriteFile(dir_ / "src" / "a.txt", std::string(1000, 'a'));
        test::WriteFile(dir_ / "src" / "docs" / "b.md", "bee\n");
        ASSERT_EQ(test::RunCommand("cd '" + (dir_ / "src").string() + "' && zip -qr ../t.zip a.txt docs"), 0);
    }
    test::TempDir dir_;
};

TEST_F(KvList, JsonListsEntriesAndTotals) {
    std::string out;
    ASSERT_EQ(test::RunCommand(test::Kv() + " l --json '" + (dir_ / "t.zip").string() + "' 2>/dev/null", &out), 0) << out;
    const auto listing = nlohmann::json::parse(out);
    EXPECT_EQ(listing["type"], "atZip");
    ASSERT_EQ(listing["entries"].size(), 3u);
    const auto& a = listing["entries"][0];
    EXPECT_EQ(a["name"], "a.txt");
    EXPECT_EQ(a["size"], 1000);
    EXPECT_LT(a["packed"].get<int>(), 1000);
    EXPECT_EQ(a["crc"].get<std::string>().size(), 8u);
    EXPECT_GT(a["ratio"].get<int>(), 0);
    EXPECT_EQ(a["dir"], false);
    EXPECT_EQ(a["encrypted"], false);
    EXPECT_EQ(a["date"].get<std::string>().size(), 19u);
    EXPECT_EQ(listing["entries"][1]["name"], "docs");
    EXPECT_EQ(listing["entries"][1]["dir"], true);
    EXPECT_EQ(listing["entries"][2]["name"], "docs/b.md");
    EXPECT_EQ(listing["totals"]["files"], 3);
    EXPECT_EQ(listing["totals"]["size"], 1004);
}

TEST_F(KvList, MasksSelectEntries) {
    std::string out;
    ASSERT_EQ(test::RunCommand(test::Kv() + " l --json '" + (dir_ / "t.zip").string() + "' '*.md'", &out), 0) << out;
    const auto listing = nlohmann::json::parse(out);
    ASSERT_EQ(listing["entries"].size(), 1u);
    EXPECT_EQ(listing["entries"][0]["name"], "docs/b.md");
}

TEST_F(KvList, TextHasOneLinePerEntryAndATotalsLine) {
    std::string out;
    ASSERT_EQ(test::RunCommand(test::Kv() + " l '" + (dir_ / "t.zip").string() + "'", &out), 0) << out;
    EXPECT_NE(out.find(" a.txt\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" docs/b.md\n"), std::string::npos) << out;
    EXPECT_NE(out.find("3 files"), std::string::npos) << out;
}

// The command line sees what the program shows: names that would lead out of the extraction folder are
// listed, and each one is named on stderr.
TEST_F(KvList, WarnsAboutEveryUnsafeName) {
    test::WriteFile(dir_ / "evil.zip", test::BuildZip({{.name = "ok.txt"}, {.name = "../evil"}, {.name = "/abs"},
                                                       {.name = "a..b.txt"}}));
    std::string out;
    ASSERT_EQ(test::RunCommand("{ " + test::Kv() + " l '" + (dir_ / "evil.zip").string() + "' >/dev/null; }", &out), 0) << out;
    EXPECT_NE(out.find("../evil: unsafe name"), std::string::npos) << out;
    EXPECT_NE(out.find("/abs: unsafe name"), std::string::npos) << out;
    EXPECT_EQ(out.find("ok.txt"), std::string::npos) << out;
    EXPECT_EQ(out.find("a..b.txt"), std::string::npos) << out;
    ASSERT_EQ(test::RunCommand("{ " + test::Kv() + " l --json '" + (dir_ / "evil.zip").string() + "' 2>/dev/null; }", &out), 0);
    EXPECT_EQ(nlohmann::json::parse(out)["entries"].size(), 4u);
}

TEST_F(KvList, UnreadableArchivesExitWithTwo) {
    test::WriteFile(dir_ / "plain.txt", "just some text, no archive at all\n");
    const struct {
        std::string path;
        std::string message;
    } cases[] = {{(dir_ / "missing.zip").string(), "File not found"},
                 {(dir_ / "plain.txt").string(), "Unknown file type"}};
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(test::RunCommand(test::Kv() + " l '" + c.path + "'", &out), 2) << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
    }
}

}  // namespace
}  // namespace kv
