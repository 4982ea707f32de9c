#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>

#include "cli/kv_program.h"
#include "support/test_support.h"

namespace kv {
namespace {

TEST(KvInfo, JsonNamesTypeOffsetFlagsAndVolume) {
    test::TempDir dir;
    test::WriteFile(dir / "data.rar", "Rar!\x1a\x07" + std::string(40, '\0'));
    test::WriteFile(dir / "plain.txt", "nothing to see here, just some text\n");
    std::string out;
    const std::string cmd = test::Kv() + " i --json '" + (dir / "data.rar").string() + "' '" + (dir / "plain.txt").string() + "'";
    ASSERT_EQ(test::RunCommand(cmd, &out), 0) << out;

    std::istringstream lines(out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    const auto rar = nlohmann::json::parse(line);
    EXPECT_EQ(rar["file"], (dir / "data.rar").string());
    EXPECT_EQ(rar["type"], "atRar");
    EXPECT_EQ(rar["name"], "RAR       ");
    EXPECT_EQ(rar["offset"], 0);
    EXPECT_EQ(rar["flags"], 0);
    EXPECT_EQ(rar["volume"], 0);
    EXPECT_EQ(rar["letter"], "q");
    // What can be done with it: RAR archives are listed, but nothing extracts or writes them yet.
    EXPECT_EQ(rar["decompressable"], false);
    EXPECT_EQ(rar["compressable"], false);
    EXPECT_EQ(rar["sfx"], false);
    EXPECT_EQ(rar["spannable"], false);

    ASSERT_TRUE(std::getline(lines, line));
    const auto text = nlohmann::json::parse(line);
    EXPECT_EQ(text["type"], "atNA");
}

TEST(KvInfo, TextOutputAndMissingFile) {
    test::TempDir dir;
    test::WriteFile(dir / "a.cab", std::string("MSCF", 4) + std::string(64, '\0'));
    std::string out;
    const int status = test::RunCommand(test::Kv() + " i '" + (dir / "a.cab").string() + "' '" + (dir / "missing.zip").string() + "'", &out);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("CAB "), std::string::npos) << out;
    // Listed, but no reader or writer serves CAB yet.
    EXPECT_NE(out.find(" ---- "), std::string::npos) << out;
    EXPECT_NE(out.find("missing.zip: File not found"), std::string::npos) << out;
}

TEST(KvInfo, HelpDescribesTheCommand) {
    std::string out;
    EXPECT_EQ(test::RunCommand(test::Kv() + " --help", &out), 0);
    EXPECT_NE(out.find("archive type"), std::string::npos) << out;
}

}  // namespace
}  // namespace kv
