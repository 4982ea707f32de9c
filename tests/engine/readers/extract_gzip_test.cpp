// The GZIP reader (GZIP proper, the old 1F 9E magic and Unix compress) on files made by gzip and compress
// and on hand-made headers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "engine/core/error_codes.h"
#include "support/lsb_bit_writer.h"
#include "support/raw_deflate.h"
#include "support/sample_data.h"
#include "support/single_file_run.h"
#include "support/file_digest.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kFlagHeaderCrc = 0x02;
constexpr std::uint8_t kFlagName = 0x08;
constexpr std::uint8_t kFlagEncrypted = 0x20;

void PutLE32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

struct MemberLayout {
    std::uint8_t magic = 0x8B;
    std::uint8_t flags = 0;
    std::string name;             // stored with kFlagName
    bool header_crc_right = true;  // with kFlagHeaderCrc
};

// A GZIP member as RFC 1952 lays it out.
std::string GzipMember(const std::string& data, const MemberLayout& layout = {}) {
    std::string member = {'\x1F', static_cast<char>(layout.magic), 8, static_cast<char>(layout.flags)};
    PutLE32(member, 1700000000);
    member += {'\0', '\x03'};
    if ((layout.flags & kFlagName) != 0) member += layout.name + '\0';
    if ((layout.flags & kFlagHeaderCrc) != 0) {
        const std::uint32_t crc = test::Crc32(member) ^ (layout.header_crc_right ? 0 : 0x5A5A);
        member += {static_cast<char>(crc), static_cast<char>(crc >> 8)};
    }
    member += test::RawDeflate(data);
    PutLE32(member, test::Crc32(data));
    PutLE32(member, static_cast<std::uint32_t>(data.size()));
    return member;
}

// What gzip writes, at both ends of its levels, with and without the stored name; incompressible data
// (stored blocks), an empty file, and concatenated members with zero padding behind them.
TEST(ExtractGzip, WhatGzipWroteReadsBack) {
    if (!test::HaveProgram("gzip")) GTEST_SKIP() << "gzip is not installed";
    test::TempDir dir;
    const std::string text = test::NumberedLines(50000);
    const std::string random = test::RandomBytes(300000, 5);
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> members;  // gzip options, data
        std::string padding;
        std::string output;  // the file's name
    };
    const Case cases[] = {
        {"level 1", {{"-1", text}}, "", "payload.txt"},
        {"level 9", {{"-9", text}}, "", "payload.txt"},
        {"no stored name", {{"-n", text}}, "", "archive"},
        {"incompressible", {{"", random}}, "", "payload.txt"},
        {"empty", {{"", ""}}, "", "payload.txt"},
        {"two members", {{"", text}, {"-n", random}}, "", "payload.txt"},
        {"members and zero padding", {{"", "a"}, {"", ""}, {"-9", text}}, std::string(1, '\0'), "payload.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string archive_bytes;
        std::string expected;
        for (const auto& [options, data] : c.members) {
            test::WriteFile(dir / "payload.txt", data);
            std::string packed;
            ASSERT_EQ(test::RunCommand("gzip -c " + options + " " + (dir / "payload.txt").string(), &packed), 0);
            archive_bytes += packed;
            expected += data;
        }
        test::WriteFile(dir / "archive.gz", archive_bytes + c.padding);
        const fs::path out = dir / "out";
        fs::remove_all(out);
        const test::SingleFileResult run = test::RunSingleFile(dir / "archive.gz", out);
        EXPECT_EQ(run.reported, "");
        EXPECT_EQ(run.processed, 1);
        EXPECT_TRUE(test::ReadFile(out / c.output) == expected);
    }
}

// The time in the GZIP header goes to the file to the second, odd seconds and dates before 1980 too.
TEST(ExtractGzip, TheHeadersTimeToTheSecond) {
    if (!test::HaveProgram("gzip")) GTEST_SKIP() << "gzip is not installed";
    for (const std::int64_t seconds : {1600000001LL, 100000001LL}) {
        SCOPED_TRACE(seconds);
        test::TempDir dir;
        test::WriteFile(dir / "timed.txt", "timed\n");
        ASSERT_EQ(test::RunCommand("cd '" + dir.Path().string() + "' && touch -d @" + std::to_string(seconds) +
                                   " timed.txt && gzip timed.txt"),
                  0);
        const test::SingleFileResult run = test::RunSingleFile(dir / "timed.txt.gz", dir / "out");
        EXPECT_EQ(run.reported, "");
        struct stat status {};
        ASSERT_EQ(::stat((dir / "out/timed.txt").c_str(), &status), 0);
        EXPECT_EQ(status.st_mtime, seconds);
    }
}

// Flag bit 1 is the header CRC of RFC 1952: a right one extracts; a wrong one is read as the old
// multi-part flag and nothing is written, as for a file marked as enciphered.
TEST(ExtractGzip, HeaderFlagsAndMagics) {
    test::TempDir dir;
    const std::string data = test::NumberedLines(300);
    struct Case {
        const char* name;
        MemberLayout layout;
        int error;  // 0: extracts
    };
    const Case cases[] = {
        {"header CRC", {.flags = kFlagHeaderCrc | kFlagName, .name = "data.txt"}, 0},
        {"multi-part", {.flags = kFlagHeaderCrc | kFlagName, .name = "data.txt", .header_crc_right = false},
         ecode::kMultiPartGzip},
        {"enciphered", {.flags = kFlagEncrypted | kFlagName, .name = "data.txt"}, ecode::kPasswordProtected},
        {"old magic", {.magic = 0x9E, .flags = kFlagName, .name = "data.txt"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteFile(dir / "in.gz", GzipMember(data, c.layout));
        const fs::path out = dir / c.name;
        const test::SingleFileResult run = test::RunSingleFile(dir / "in.gz", out);
        if (c.error == 0) {
            EXPECT_EQ(run.reported, "");
            EXPECT_TRUE(test::ReadFile(out / "data.txt") == data);
        } else {
            EXPECT_EQ(run.errors, std::vector<int>{c.error});
            EXPECT_FALSE(fs::exists(out / "data.txt"));
        }
    }
}

// The other magics of the family (pack, SCO LZH) and methods other than Deflate are not extracted.
TEST(ExtractGzip, OtherMethodsAreRefused) {
    test::TempDir dir;
    std::string method9 = GzipMember(test::NumberedLines(100));
    method9[2] = 9;
    const std::pair<const char*, std::string> cases[] = {
        {"pack", "\x1F\x1E" + test::NumberedLines(10)},
        {"LZH", "\x1F\xA0" + test::NumberedLines(10)},
        {"method 9", method9},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        test::WriteFile(dir / "in.gz", bytes);
        const test::SingleFileResult run = test::RunSingleFile(dir / "in.gz", dir / "out");
        EXPECT_EQ(run.errors, std::vector<int>{ecode::kUnsupportedMethod});
        EXPECT_FALSE(fs::exists(dir / "out" / "in"));
    }
}

// A damaged or cut-off member is reported and fails its check, also when it is not the first.
TEST(ExtractGzip, DamagedMembersFail) {
    test::TempDir dir;
    const std::string data = test::NumberedLines(20000);
    const std::string good = GzipMember(data);
    std::string wrong_crc = good;
    wrong_crc[wrong_crc.size() - 6] ^= 1;
    std::string wrong_size = good;
    wrong_size[wrong_size.size() - 2] ^= 1;
    std::string bad_data = good;
    bad_data[10] = '\xFF';  // a block of type 3
    const std::pair<const char*, std::string> cases[] = {
        {"CRC", wrong_crc},
        {"size", wrong_size},
        {"data", bad_data},
        {"cut in the data", good.substr(0, good.size() / 2)},
        {"cut in the trailer", good.substr(0, good.size() - 3)},
        {"second member cut", good + good.substr(0, good.size() - 20)},
        {"second member's header cut", good + good.substr(0, 6)},
        {"second member damaged", good + wrong_crc},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        test::WriteFile(dir / "in.gz", bytes);
        const test::SingleFileResult run = test::RunSingleFile(dir / "in.gz", dir / "out");
        EXPECT_NE(run.reported.find("in: fails its check"), std::string::npos) << run.reported;
        EXPECT_TRUE(run.passed.empty());
    }
}

// Without a stored name and without an extension to drop, the output must not take the archive's own
// name: extracted beside it, it would replace the archive.
TEST(ExtractGzip, ANamelessArchiveWithoutExtensionIsNotReplaced) {
    test::TempDir dir;
    const std::string archive = GzipMember("payload", {});
    test::WriteFile(dir / "plain", archive);
    const test::SingleFileResult run = test::RunSingleFile(dir / "plain", dir.Path());
    EXPECT_EQ(run.reported, "");
    EXPECT_EQ(test::ReadFile(dir / "plain.out"), "payload");
    EXPECT_EQ(test::ReadFile(dir / "plain"), archive);
}

// A stored name names the file, never the folder it goes to.
TEST(ExtractGzip, HostileStoredNamesStayInTheDestination) {
    test::TempDir dir;
    const std::pair<const char*, const char*> cases[] = {
        {"../../x", "x"}, {"/etc/x", "x"}, {"sub/../../x", "x"}, {"a\\..\\..\\x", "x"}, {"..", "in"}, {"up/", "in"},
    };
    for (const auto& [stored, written] : cases) {
        SCOPED_TRACE(stored);
        test::WriteFile(dir / "in.gz", GzipMember("secret", {.flags = kFlagName, .name = stored}));
        const fs::path out = dir / "a" / "b" / "out";
        fs::remove_all(dir / "a");
        const test::SingleFileResult run = test::RunSingleFile(dir / "in.gz", out);
        EXPECT_EQ(run.reported, "");
        EXPECT_EQ(test::ReadFile(out / written), "secret");
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(dir / "a"))
            if (entry.is_regular_file()) files.push_back(entry.path());
        EXPECT_EQ(files, std::vector<fs::path>{out / written});
    }
}

TEST(ExtractGzip, CompressFilesExtract) {
    if (!test::HaveProgram("compress")) GTEST_SKIP() << "compress is not installed";
    test::TempDir dir;
    const std::string data = test::NumberedLines(30000);
    test::WriteFile(dir / "words.txt", data);
    ASSERT_EQ(test::RunCommand("compress -c " + (dir / "words.txt").string() + " > " + (dir / "words.txt.Z").string()), 0);
    const test::SingleFileResult run = test::RunSingleFile(dir / "words.txt.Z", dir / "out");
    EXPECT_EQ(run.reported, "");
    EXPECT_EQ(run.passed, std::vector<std::string>{"words.txt"});
    EXPECT_TRUE(test::ReadFile(dir / "out" / "words.txt") == data);

    // A code the table does not hold yet: the data error fails the check.
    test::LsbBitWriter codes;
    for (const unsigned code : {97u, 98u, 99u, 300u}) codes.Put(code, 9);  // "abc", then 300
    for (int i = 0; i < 200; ++i) codes.Put('z', 9);
    const std::vector<std::uint8_t>& packed = codes.Bytes();
    test::WriteFile(dir / "bad.Z", std::string("\x1F\x9D\x90", 3) + std::string(packed.begin(), packed.end()));
    const test::SingleFileResult bad = test::RunSingleFile(dir / "bad.Z", dir / "out");
    EXPECT_NE(bad.reported.find("bad: fails its check"), std::string::npos) << bad.reported;
    EXPECT_EQ(bad.errors, std::vector<int>{ecode::kDecompressionError});
}

}  // namespace
}  // namespace kv
