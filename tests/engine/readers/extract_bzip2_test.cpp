// The BZIP2 reader on files made by bzip2: single and concatenated streams, damaged and cut-off ones.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/core/error_codes.h"
#include "support/single_file_run.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

std::string Bzip2(const test::TempDir& dir, const std::string& data, const std::string& options = {}) {
    test::WriteFile(dir / "plain", data);
    std::string packed;
    EXPECT_EQ(test::RunCommand("bzip2 -c " + options + " " + (dir / "plain").string(), &packed), 0);
    return packed;
}

std::string SomeData(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string data;
    while (data.size() < size) data += "record " + std::to_string(random() % 5000) + ";";
    return data;
}

TEST(ExtractBzip2, StreamsReadBack) {
    if (!test::HaveProgram("bzip2")) GTEST_SKIP() << "bzip2 is not installed";
    test::TempDir dir;
    const std::string first = SomeData(1500000, 1);  // more than one 900k block
    const std::string second = SomeData(1000, 2);
    struct Case {
        const char* name;
        std::string archive;
        std::string expected;
    };
    const Case cases[] = {
        {"one stream", Bzip2(dir, first), first},
        {"small blocks", Bzip2(dir, first, "-1"), first},
        {"empty", Bzip2(dir, ""), ""},
        {"two streams", Bzip2(dir, first) + Bzip2(dir, second), first + second},
        {"stream and zero padding", Bzip2(dir, second) + std::string(100, '\0'), second},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteFile(dir / "data.bin.bz2", c.archive);
        // Detection takes no file of 19 bytes or less for an archive: the empty stream needs the reader named.
        test::SingleFileOptions options;
        options.type = atBz2;
        const test::SingleFileResult run = test::RunSingleFile(dir / "data.bin.bz2", dir / "out", options);
        EXPECT_EQ(run.reported, "");
        EXPECT_EQ(run.passed, std::vector<std::string>{"data.bin"});
        EXPECT_TRUE(test::ReadFile(dir / "out" / "data.bin") == c.expected);
    }
}

TEST(ExtractBzip2, DamagedStreamsFail) {
    if (!test::HaveProgram("bzip2")) GTEST_SKIP() << "bzip2 is not installed";
    test::TempDir dir;
    const std::string good = Bzip2(dir, SomeData(200000, 3));
    std::string flipped = good;
    flipped[flipped.size() / 2] ^= 0x10;
    std::string wrong_crc = good;
    wrong_crc[wrong_crc.size() - 2] ^= 0x01;  // inside the stream's combined CRC
    const std::pair<const char*, std::string> cases[] = {
        {"flipped bit", flipped},
        {"stream CRC", wrong_crc},
        {"cut off", good.substr(0, good.size() - 100)},
        {"second stream cut off", good + good.substr(0, good.size() / 2)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        test::WriteFile(dir / "data.bz2", bytes);
        const test::SingleFileResult run = test::RunSingleFile(dir / "data.bz2", dir / "out");
        EXPECT_EQ(run.errors, std::vector<int>{ecode::kDecompressionError});
        EXPECT_NE(run.reported.find("data: fails its check"), std::string::npos) << run.reported;
    }
}

}  // namespace
}  // namespace kv
