// The LHA reader: archives of the LHA tool at every header level and method, hand-made headers for what
// the tool does not write (Unix modes and links, level 3, Unicode names, other archivers' methods), and
// damaged archives.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "support/archiver.h"
#include "support/lha_builder.h"
#include "support/reader_run.h"
#include "support/sample_data.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class ExtractLhaTest : public testing::Test {
protected:
    // Writes `bytes` as an archive and extracts it into a fresh folder; what the reader reported.
    std::string Extract(const std::string& bytes) {
        test::WriteFile(dir_ / "a.lzh", bytes);
        fs::remove_all(out());
        fs::create_directories(out());
        return test::ExtractWithReader(dir_ / "a.lzh", atLha, out());
    }
    fs::path out() const { return dir_ / "out"; }
    static std::string Text(int code) { return ErrorText(code, {}); }

    test::TempDir dir_;
};

std::int64_t ModificationTime(const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 ? status.st_mtime : -1;
}

TEST_F(ExtractLhaTest, ArchivesOfTheLhaToolAtEveryLevelAndMethod) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a.txt", test::TextBytes(200000)}, {"sub/b.bin", test::RandomBytes(70000)}, {"empty.txt", ""},
        {"sub/c.txt", test::NumberedLines(9000)}};
    for (const auto& [name, bytes] : files) {
        fs::create_directories((dir_ / "src" / name).parent_path());
        test::WriteFile(dir_ / "src" / name, bytes);
    }
    for (const char* level : {"0", "1", "2"}) {
        for (const char* method : {"z", "o5", "o6", "o7"}) {
            SCOPED_TRACE(std::string("level ") + level + ", " + method);
            const std::string archive = (dir_ / "t.lzh").string();
            fs::remove(archive);
            if (!test::RunArchiver("jlha", dir_ / "src", std::string("jlha a") + level + method + "q " + archive +
                                                             " a.txt sub/b.bin empty.txt sub/c.txt"))
                GTEST_SKIP() << "jlha (jlha-utils) not installed";
            fs::remove_all(out());
            EXPECT_EQ(test::ExtractWithReader(archive, atLha, out()), "");
            for (const auto& [name, bytes] : files) EXPECT_TRUE(test::ReadFile(out() / name) == bytes) << name;
        }
    }
}

// Levels 0 and 1 keep an MS-DOS local time, levels 2 and 3 a Unix time, whatever system the OS byte names.
TEST_F(ExtractLhaTest, DatesFollowTheHeaderLevel) {
    const std::uint32_t unix_time = 1700000000;
    const std::uint32_t dos_time = 0x5A8C6000;
    const std::int64_t dos_seconds = DateTimeToFileTime(DosDateTimeToDateTime(dos_time));
    struct Case {
        int level;
        std::uint8_t os;
        std::uint32_t time;
        std::int64_t expected;
    };
    for (const Case& c : {Case{0, 'M', dos_time, dos_seconds}, Case{1, 'M', dos_time, dos_seconds},
                          Case{2, 'M', unix_time, unix_time}, Case{2, 'U', unix_time, unix_time},
                          Case{3, 'M', unix_time, unix_time}}) {
        SCOPED_TRACE(c.level);
        const auto entry = test::LhaEntry().Level(c.level).Name("a.txt").Data("dated").Time(c.time).Os(c.os);
        EXPECT_EQ(Extract(entry.Bytes() + std::string(1, '\0')), "");
        EXPECT_EQ(ModificationTime(out() / "a.txt"), c.expected);
    }
}

TEST_F(ExtractLhaTest, UnixModesAndLinksFromLevel2Headers) {
    const auto file = test::LhaEntry().Name("t.txt").Dir("sub\xFF").Data("target").UnixMode(0100640);
    const auto inside = test::LhaEntry().Method("-lhd-").Name("ln|sub/t.txt").UnixMode(0120777);
    const auto outside = test::LhaEntry().Method("-lhd-").Name("out|../../etc/passwd").UnixMode(0120777);
    const auto absolute = test::LhaEntry().Method("-lhd-").Name("abs|/etc/passwd").UnixMode(0120777);
    const std::string reported = Extract(file.Bytes() + inside.Bytes() + outside.Bytes() + absolute.Bytes() + '\0');
    EXPECT_EQ(fs::status(out() / "sub/t.txt").permissions() & fs::perms::all, fs::perms(0640));
    ASSERT_TRUE(fs::is_symlink(out() / "ln"));
    EXPECT_EQ(fs::read_symlink(out() / "ln"), "sub/t.txt");
    EXPECT_EQ(test::ReadFile(out() / "ln"), "target");
    // Links that would lead out of the destination are refused and said to be.
    EXPECT_FALSE(fs::exists(fs::symlink_status(out() / "out")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(out() / "abs")));
    EXPECT_EQ(reported, "out: " + ErrorText(ecode::kInvalidFileName, "../../etc/passwd") + "\nabs: " +
                            ErrorText(ecode::kInvalidFileName, "/etc/passwd") + "\n");
}

// Level 3 headers with their 4-byte sizes, Unicode names over the bytes of the name header, a file name
// that ends in a separator, and OS-9's level 2 header whose size leaves out two bytes.
TEST_F(ExtractLhaTest, OtherHeaderForms) {
    const auto level3 = test::LhaEntry().Level(3).Name("l3.txt").Dir("d3\xFF").Data("three").UnixMode(0100644);
    const auto unicode = test::LhaEntry().Name("u.txt").Data("unicode").Utf16Name(test::Utf16Le(u"\u00FC\u65E5.txt"));
    const auto slash = test::LhaEntry().Level(0).Name("plain/").Data("file");
    std::string os9 = test::LhaEntry().Name("os9.txt").Data("nine").Os('K').Bytes();
    os9[0] = static_cast<char>(os9[0] - 2);
    EXPECT_EQ(Extract(level3.Bytes() + unicode.Bytes() + slash.Bytes() + os9 + '\0'), "");
    EXPECT_EQ(test::ReadFile(out() / "d3/l3.txt"), "three");
    EXPECT_EQ(test::ReadFile(out() / "\u00FC\u65E5.txt"), "unicode");
    EXPECT_EQ(test::ReadFile(out() / "plain"), "file");
    EXPECT_EQ(test::ReadFile(out() / "os9.txt"), "nine");
}

// An entry of a method the reader lacks says so; the entries around it are extracted.
TEST_F(ExtractLhaTest, UndecodableEntriesAreReported) {
    const auto a = test::LhaEntry().Name("a.txt").Data("first");
    const auto lh2 = test::LhaEntry().Method("-lh2-").Name("b.txt").Data("xxxx");
    const auto pm1 = test::LhaEntry().Level(0).Method("-pm1-").Name("c.txt").Data("yyyy");
    const auto d = test::LhaEntry().Level(1).Name("d.txt").Data("last");
    const std::string reported = Extract(a.Bytes() + lh2.Bytes() + pm1.Bytes() + d.Bytes() + '\0');
    EXPECT_EQ(reported, "b.txt: " + ErrorText(ecode::kUnsupportedMethod, "-lh2-") + "\nc.txt: " +
                            ErrorText(ecode::kUnsupportedMethod, "-pm1-") + "\n");
    EXPECT_EQ(test::ReadFile(out() / "a.txt"), "first");
    EXPECT_EQ(test::ReadFile(out() / "d.txt"), "last");
    EXPECT_FALSE(fs::exists(out() / "b.txt"));
}

// A damaged archive tells where it goes wrong; what lies before the damage is extracted.
TEST_F(ExtractLhaTest, DamagedArchivesSayWhatIsWrong) {
    fs::create_directories(dir_ / "src");
    test::WriteFile(dir_ / "src/a.txt", test::TextBytes(30000));
    test::WriteFile(dir_ / "src/b.txt", test::NumberedLines(5000));
    if (!test::RunArchiver("jlha", dir_ / "src", "jlha a1o5q ../good.lzh a.txt b.txt"))
        GTEST_SKIP() << "jlha (jlha-utils) not installed";
    const std::string good = test::ReadFile(dir_ / "good.lzh");
    const std::size_t second = static_cast<std::uint8_t>(good[0]) + 2 + test::LittleField(good, 7, 4);
    ASSERT_LT(second + 40, good.size());
    std::string flipped = good;
    flipped[second / 2] = static_cast<char>(flipped[second / 2] ^ 0x10);
    std::string garbage = good.substr(0, second) + std::string(30, '\x7F');
    struct Case {
        const char* name;
        std::string bytes;
        std::string reported;
    };
    const Case cases[] = {
        {"cut in the second entry's data", good.substr(0, good.size() - 20), "b.txt: " + Text(ecode::kErrorReadingFile) + "\n"},
        {"cut in the second header", good.substr(0, second + 10), "a.lzh: " + Text(ecode::kBadFileHeader) + "\n"},
        {"garbage where the second header should be", garbage, "a.lzh: " + Text(ecode::kBadFileHeader) + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string reported = Extract(c.bytes);
        EXPECT_NE(reported.find(c.reported), std::string::npos) << reported;
        EXPECT_EQ(test::ReadFile(out() / "a.txt"), test::TextBytes(30000));
        EXPECT_FALSE(fs::exists(out() / "b.txt"));
    }
    // A changed bit in compressed data fails the entry (as bad data or by its CRC) and leaves no output.
    EXPECT_NE(Extract(flipped), "");
    EXPECT_FALSE(fs::exists(out() / "a.txt"));
    EXPECT_EQ(test::ReadFile(out() / "b.txt"), test::NumberedLines(5000));
}

}  // namespace
}  // namespace kv
