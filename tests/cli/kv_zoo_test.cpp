// kv with ZOO archives: a sound one tests and extracts; a damaged one exits 1 with the reason and leaves
// the file already on disk as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/kv_program.h"
#include "support/test_support.h"
#include "support/zoo_fixture.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

std::string SomeText() {
    std::string text;
    for (unsigned i = 0; text.size() < 20000; ++i) text += "row " + std::to_string(i * 31 % 977) + "\n";
    return text;
}

TEST(KvZoo, DamagedArchivesExitOne) {
    test::TempDir dir;
    const std::string text = SomeText();
    const std::string good = test::ZooArchive({{"a.txt", text, 1}, {"b.txt", "plain", 0}});
    std::string bad_data = good;
    bad_data[34 + 63 + 100] ^= 0x20;  // inside a.txt's LZW data
    const std::string cut = good.substr(0, good.size() - 30);  // the entry that ends the directory is cut

    struct Case {
        const char* what;
        std::string archive;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"sound", good, 0, ""},
        {"damaged data", bad_data, 1, "a.txt"},
        {"directory cut short", cut, 1, "Error reading file or unexpected end of file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteFile(dir / "a.zoo", c.archive);
        std::string out;
        EXPECT_EQ(test::RunCommand(test::Kv() + " t " + test::Quoted(dir / "a.zoo") + " 2>&1 </dev/null", &out),
                  c.status)
            << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;

        const fs::path destination = dir / (std::string("out-") + c.what);
        fs::create_directories(destination);
        test::WriteFile(destination / "a.txt", "already here");
        EXPECT_EQ(test::RunCommand(test::Kv() + " x " + test::Quoted(dir / "a.zoo") + " -y -o " +
                                       test::Quoted(destination) + " 2>&1 </dev/null",
                                   &out),
                  c.status)
            << out;
        EXPECT_EQ(test::ReadFile(destination / "a.txt"), c.status == 0 || c.archive == cut ? text : "already here");
        EXPECT_EQ(test::ReadFile(destination / "b.txt"), "plain");
    }
}

}  // namespace
}  // namespace kv
