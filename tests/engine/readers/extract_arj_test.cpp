// The ARJ reader on archives the arj tool makes (every method, garbled entries, volume sets) and on
// hand-built ones that show what it refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "support/archiver.h"
#include "support/arj_fixture.h"
#include "support/file_digest.h"
#include "support/reader_run.h"
#include "support/sample_data.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// Every file below `folder` with its size and SHA-256, by relative path.
std::map<std::string, std::string> FilesBelow(const fs::path& folder) {
    std::map<std::string, std::string> files;
    if (!fs::exists(folder)) return files;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (!item.is_regular_file()) continue;
        const test::FileDigest digest = test::DigestOf(item.path());
        files[item.path().lexically_relative(folder).generic_string()] =
            std::to_string(digest.size) + " " + digest.sha256;
    }
    return files;
}

class ArjExtractTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("arj")) GTEST_SKIP() << "arj not installed";
        fs::create_directories(src_ / "sub" / "deeper");
        test::WriteFile(src_ / "lines.txt", test::NumberedLines(40000));
        test::WriteFile(src_ / "sub" / "random.bin", test::RandomBytes(70000));
        test::WriteFile(src_ / "sub" / "deeper" / "text.txt", test::TextBytes(90000));
        test::WriteFile(src_ / "empty", "");
    }
    void Arj(const std::string& arguments) {
        ASSERT_TRUE(test::RunArchiver("arj", src_, "arj " + arguments + " -y </dev/null"));
    }
    std::string Extract(const std::string& archive, const std::string& password = {}) {
        return test::ExtractWithReader(dir_ / archive, test::DetectType(dir_ / archive), out_, password);
    }

    test::TempDir dir_;
    fs::path src_ = dir_ / "src";
    fs::path out_ = dir_ / "out";
};

TEST_F(ArjExtractTest, EveryMethodPlainAndGarbled) {
    for (const char* method : {"-m0", "-m1", "-m2", "-m3", "-m4"}) {
        for (const std::string garble : {"", " -gsecret"}) {
            SCOPED_TRACE(std::string(method) + garble);
            fs::remove_all(out_);
            fs::remove(dir_ / "a.arj");
            Arj("a -r " + std::string(method) + garble + " ../a.arj '*'");
            EXPECT_EQ(Extract("a.arj", garble.empty() ? "" : "secret"), "");
            EXPECT_EQ(FilesBelow(out_), FilesBelow(src_));
        }
    }
    // ARJ on Unix keeps the time in seconds since 1970, not in MS-DOS form.
    const auto age = fs::last_write_time(out_ / "lines.txt") - fs::last_write_time(src_ / "lines.txt");
    EXPECT_LT(std::chrono::abs(age), std::chrono::seconds(1));
}

// Garble has no check value: a wrong password shows only as data that fail their CRC, and no such
// output may stay behind.
TEST_F(ArjExtractTest, AWrongPasswordLeavesNothing) {
    for (const char* method : {"-m0", "-m1", "-m4"}) {
        SCOPED_TRACE(method);
        fs::remove(dir_ / "a.arj");
        Arj("a " + std::string(method) + " -gsecret ../a.arj lines.txt");
        const std::string reported = Extract("a.arj", "wrong");
        EXPECT_NE(reported.find("Invalid password"), std::string::npos) << reported;
        EXPECT_TRUE(FilesBelow(out_).empty());
    }
}

// Each volume's piece is compressed and checked on its own; a garbled set starts the password over.
TEST_F(ArjExtractTest, VolumeSetsExtractWhole) {
    for (const std::string options : {"-m0", "-m1", "-m4 -gsecret"}) {
        SCOPED_TRACE(options);
        fs::remove_all(out_);
        for (const auto& item : fs::directory_iterator(dir_.Path()))
            if (item.path().stem() == "v") fs::remove(item.path());
        Arj("a -r -v30K " + options + " ../v.arj '*'");
        ASSERT_TRUE(fs::exists(dir_ / "v.a03"));
        EXPECT_EQ(Extract("v.arj", "secret"), "");
        EXPECT_EQ(FilesBelow(out_), FilesBelow(src_));
    }
}

// The files before the gap extract; the one it cuts fails and leaves no part behind.
TEST_F(ArjExtractTest, AMissingVolumeFailsTheFileItCuts) {
    Arj("a -m1 -v30K ../v.arj lines.txt sub/random.bin");
    ASSERT_TRUE(fs::exists(dir_ / "v.a02"));
    fs::remove(dir_ / "v.a02");
    const std::string reported = Extract("v.arj");
    // The test's volume question cancels when the file is missing, which the error then names.
    EXPECT_TRUE(reported.find("Broken multi-volume chain") != std::string::npos ||
                reported.find("User canceled") != std::string::npos)
        << reported;
    EXPECT_NE(reported.find("fails its check"), std::string::npos) << reported;
    const auto files = FilesBelow(out_);
    EXPECT_EQ(files.count("lines.txt") + files.count("sub/random.bin"), files.size());
    // Whichever file the gap cuts is missing: a piece of it would be a silent partial file.
    EXPECT_LT(files.size(), 2u);
    const auto sources = FilesBelow(src_);
    for (const auto& [name, digest] : files) EXPECT_EQ(digest, sources.at(name)) << name;
}

// A volume whose continuation does not carry on where the file stands is no part of the set.
TEST_F(ArjExtractTest, AContinuationFromAnotherPlaceBreaksTheChain) {
    Arj("a -m0 -v30K ../v.arj sub/random.bin");
    Arj("a -m0 -v30K ../w.arj lines.txt");
    ASSERT_TRUE(fs::exists(dir_ / "w.a01"));
    fs::copy_file(dir_ / "w.a01", dir_ / "v.a01", fs::copy_options::overwrite_existing);
    const std::string reported = Extract("v.arj");
    EXPECT_NE(reported.find("Broken multi-volume chain"), std::string::npos) << reported;
    EXPECT_EQ(FilesBelow(out_).count("sub/random.bin"), 0u);
}

TEST_F(ArjExtractTest, CutAndDamagedArchivesReportWhereTheWalkStopped) {
    Arj("a -m1 ../a.arj lines.txt sub/random.bin");
    const std::string bytes = test::ReadFile(dir_ / "a.arj");
    struct Case {
        std::string name;
        std::string bytes;
        std::string message;
    };
    std::string damaged_header = bytes;
    const std::size_t second = bytes.rfind("\x60\xEA", bytes.find("random.bin"));
    ASSERT_NE(second, std::string::npos);
    damaged_header[second + 20] ^= 0x40;  // a field of the second file's header: its CRC no longer fits
    const Case cases[] = {
        {"cut inside the data", bytes.substr(0, bytes.size() / 2), "Error reading file"},
        {"cut before the end marker", bytes.substr(0, bytes.size() - 4), "Error reading file"},
        {"damaged header", damaged_header, "Bad file header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(out_);
        test::WriteFile(dir_ / "d.arj", c.bytes);
        const std::string reported = Extract("d.arj");
        EXPECT_NE(reported.find(c.message), std::string::npos) << reported;
    }
}

TEST(ArjRefusals, UnknownMethodsStrongerCiphersAndOversizedHeaders) {
    using test::ArjFields;
    const std::string plain = test::ArjHeader(ArjFields{.FileType = 2}, "m.arj", "");
    const std::string garbled_main = test::ArjHeader(ArjFields{.FileType = 2, .EncryptionVersion = 2}, "m.arj", "");
    std::string oversized = plain + "\x60\xEA" + std::string("\x40\x0A", 2) + std::string(2700, '\0');
    struct Case {
        std::string name;
        std::string bytes;
        std::string message;
    };
    const Case cases[] = {
        {"method 7", plain + test::ArjHeader(ArjFields{.Method = 7}, "a.txt", "data") + test::ArjEnd(),
         "Unknown file type"},
        {"stronger than garble",
         garbled_main + test::ArjHeader(ArjFields{.Flags = 0x01}, "a.txt", "data") + test::ArjEnd(),
         "Unsupported password encryption"},
        {"oversized header", oversized, "Bad file header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::WriteFile(dir / "a.arj", c.bytes);
        const std::string reported = test::ExtractWithReader(dir / "a.arj", atArj, dir / "out", "secret");
        EXPECT_NE(reported.find(c.message), std::string::npos) << reported;
        EXPECT_FALSE(fs::exists(dir / "out" / "a.txt"));
    }
}

// Stored data are checked against their own CRC-32: the hand-built fixture's is right only for "data".
TEST(ArjRefusals, StoredDataAreChecked) {
    using test::ArjFields;
    const std::string main = test::ArjHeader(ArjFields{.FileType = 2}, "m.arj", "");
    const std::uint32_t crc = Crc32Of("data", 4);
    for (const std::string data : {"data", "date"}) {
        test::TempDir dir;
        test::WriteFile(dir / "a.arj", main + test::ArjHeader(ArjFields{.Crc32 = crc}, "a.txt", data) + test::ArjEnd());
        const std::string reported = test::ExtractWithReader(dir / "a.arj", atArj, dir / "out");
        EXPECT_EQ(reported.empty(), data == "data") << reported;
        EXPECT_EQ(fs::exists(dir / "out" / "a.txt"), data == "data");
    }
}

}  // namespace
}  // namespace kv
