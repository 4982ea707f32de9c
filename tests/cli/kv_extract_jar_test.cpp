// kv t and kv x on a JAR made by the JDK's jar tool, whose entries are written as a stream: CRC and sizes
// 0 in the local headers, a data descriptor behind the data.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cli/kv_program.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

std::uint16_t Load16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8);
}

TEST(KvExtractJar, StreamedEntriesOfTheJarToolTestAndExtract) {
    if (!test::HaveProgram("jar")) GTEST_SKIP() << "jar (a JDK) is not installed";
    test::TempDir dir;
    const fs::path src = dir / "src";
    fs::create_directories(src / "sub");
    fs::create_directories(src / "emptydir");
    std::string text;
    for (int i = 0; i < 30000; ++i) text += std::to_string(i * 7919 % 10007) + (i % 11 ? " " : "\n");
    std::string binary;
    for (unsigned i = 0; i < 70000; ++i) binary += static_cast<char>((i * i + i / 7) & 0xFFu);
    test::WriteFile(src / "text.txt", text);
    test::WriteFile(src / "sub" / "binary.bin", binary);
    test::WriteFile(src / "empty.txt", "");
    const std::string jar = (dir / "made.jar").string();
    ASSERT_EQ(test::RunCommand("cd '" + src.string() + "' && jar cf '" + jar + "' ."), 0);

    // The first entry is streamed: flag bit 3 set, CRC and sizes left 0 in its local header.
    const std::string bytes = test::ReadFile(jar);
    ASSERT_GE(bytes.size(), 30u);
    ASSERT_EQ(bytes.compare(0, 4, "PK\x03\x04"), 0);
    EXPECT_NE(Load16(bytes, 6) & 0x0008, 0);
    EXPECT_EQ(bytes.substr(14, 12), std::string(12, '\0'));

    const std::string kv = test::Kv();
    std::string output;
    EXPECT_EQ(test::RunCommand(kv + " t '" + jar + "' </dev/null", &output), 0) << output;
    const fs::path out = dir / "out";
    EXPECT_EQ(test::RunCommand(kv + " x '" + jar + "' -o '" + out.string() + "' </dev/null", &output), 0) << output;
    for (const char* name : {"text.txt", "sub/binary.bin", "empty.txt"}) {
        const std::string written = test::ReadFile(out / name);
        EXPECT_TRUE(fs::is_regular_file(out / name) && written == test::ReadFile(src / name))
            << name << ": " << written.size() << " bytes";
    }
    EXPECT_TRUE(fs::is_directory(out / "emptydir"));
    EXPECT_TRUE(fs::is_regular_file(out / "META-INF" / "MANIFEST.MF"));
}

}  // namespace
}  // namespace kv
