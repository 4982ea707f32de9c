// kv over LHA archives: the LHA tool's archives test and extract whole, Shift-JIS names come out right
// with --charset CP932, and damaged archives make kv t and kv x exit 1 with a message.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/kv_tree_fixture.h"
#include "support/lha_builder.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class KvLha : public test::KvTreeTest {
protected:
    // An archive of the source tree made by jlha; false (the test skips) without it.
    bool MakeArchive(const std::string& name, const std::string& options) {
        if (!test::HaveProgram("jlha")) return false;
        std::string out;
        EXPECT_EQ(Sh("jlha " + options + " " + name + " src/text.txt src/empty.txt src/sub/small.txt src/sub/deeper/bin.dat", &out), 0) << out;
        return true;
    }
};

TEST_F(KvLha, ArchivesOfTheLhaToolTestAndExtract) {
    if (!MakeArchive("t.lzh", "a2o7q")) GTEST_SKIP() << "jlha (jlha-utils) not installed";
    std::string out;
    EXPECT_EQ(Run("t t.lzh", &out), 0) << out;
    EXPECT_EQ(Run("x t.lzh -o x -y", &out), 0) << out;
    ExpectSameTree(dir_ / "x", {".hidden"});
}

// Cut in the last entry's data or in the second header, or with garbage where a header should be: kv says so and
// exits 1, and the entries before the damage are extracted.
TEST_F(KvLha, DamagedArchivesExitOne) {
    if (!MakeArchive("t.lzh", "a1o5q")) GTEST_SKIP() << "jlha (jlha-utils) not installed";
    const std::string good = test::ReadFile(dir_ / "t.lzh");
    const std::size_t second = static_cast<std::uint8_t>(good[0]) + 2 + test::LittleField(good, 7, 4);
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"cut in the data", good.substr(0, good.size() - 30), "Error reading file"},
        {"cut in a header", good.substr(0, second + 12), "Bad file header"},
        {"garbage for a header", good.substr(0, second) + std::string(40, 'x'), "Bad file header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteFile(dir_ / "bad.lzh", c.bytes);
        for (const char* command : {"t bad.lzh", "x bad.lzh -o bad -y"}) {
            std::string out;
            EXPECT_EQ(Run(command, &out), 1) << command << "\n" << out;
            EXPECT_NE(out.find(c.message), std::string::npos) << out;
        }
        EXPECT_EQ(test::ReadFile(dir_ / "bad/src/text.txt"), test::ReadFile(src() / "text.txt"));
    }
}

// An MS-DOS archive of a Japanese system: the OEM code page CP437 by default, Shift-JIS when asked for.
TEST_F(KvLha, ShiftJisNamesWithCharset) {
    const std::string sjis = "\x83\x65\x83\x58\x83\x67.txt";  // テスト.txt
    const std::string archive = test::LhaEntry().Level(1).Os('M').Name(sjis).Data("sjis\n").Bytes() + '\0';
    test::WriteFile(dir_ / "j.lzh", archive);
    std::string out;
    EXPECT_EQ(Run("x --charset CP932 j.lzh -o cp932 -y", &out), 0) << out;
    EXPECT_EQ(test::ReadFile(dir_ / "cp932" / "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.txt"), "sjis\n");
    EXPECT_EQ(Run("x j.lzh -o oem -y", &out), 0) << out;
    EXPECT_EQ(test::ReadFile(dir_ / "oem" / "\xC3\xA2" "e" "\xC3\xA2" "X" "\xC3\xA2" "g.txt"), "sjis\n");  // âeâXâg.txt
}

}  // namespace
}  // namespace kv
