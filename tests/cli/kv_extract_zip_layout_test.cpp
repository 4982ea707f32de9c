// kv x, kv t and kv l on ZIPs whose layout says more than the MS-DOS fields: times in extra fields, entries
// whose data do not end where they say, entries sharing their data, an end record with a wrong count.
// These go through the ZIP manager and the extraction library.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/kv_program.h"
#include "support/test_support.h"
#include "support/zip_damage_fixtures.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class KvZipLayout : public ::testing::Test {
protected:
    int Run(const std::string& args, std::string* out = nullptr) {
        return test::RunCommand("cd '" + dir_.Path().string() + "' && " + test::Kv() + " " + args + " 2>&1 </dev/null", out);
    }
    test::TempDir dir_;
};

std::time_t ModificationTime(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mtime;
}

std::string LocalIsoTime(std::time_t time) {
    std::tm local{};
    ::localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// Info-ZIP zip writes the extended timestamp, 7-Zip the NTFS times: a file from before 1980 and one with
// odd seconds come back with their own time, and the listing shows it.
TEST_F(KvZipLayout, TimesOfTheExtraFieldsComeBack) {
    if (!test::HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
    fs::create_directories(dir_ / "s");
    const struct {
        const char* name;
        const char* touched;
    } files[] = {{"old.txt", "1970-01-02 00:00:00 UTC"}, {"odd.txt", "2021-05-06 07:08:09.5 UTC"}};
    for (const auto& file : files) {
        test::WriteFile(dir_ / "s" / file.name, file.name);
        ASSERT_EQ(test::RunCommand("touch -d '" + std::string(file.touched) + "' " + test::Quoted(dir_ / "s" / file.name)), 0);
    }
    const struct {
        const char* archive;
        const char* command;
    } makers[] = {{"infozip.zip", "zip -qr infozip.zip s"}, {"7zip.zip", "7z a -tzip -mtc=on 7zip.zip s >/dev/null"}};
    for (const auto& maker : makers) {
        SCOPED_TRACE(maker.archive);
        if (std::string(maker.command).starts_with("7z") && !test::HaveProgram("7z")) continue;
        ASSERT_EQ(test::RunCommand("cd '" + dir_.Path().string() + "' && " + maker.command), 0);
        std::string out;
        ASSERT_EQ(Run(std::string("x ") + maker.archive + " -o out-" + maker.archive, &out), 0) << out;
        ASSERT_EQ(Run(std::string("l --json ") + maker.archive, &out), 0) << out;
        const auto listing = nlohmann::json::parse(out);
        for (const auto& file : files) {
            const std::time_t source = ModificationTime(dir_ / "s" / file.name);
            EXPECT_EQ(ModificationTime(dir_ / ("out-" + std::string(maker.archive)) / "s" / file.name), source) << file.name;
            bool listed = false;
            for (const auto& entry : listing["entries"]) {
                if (entry["name"] != std::string("s/") + file.name) continue;
                listed = true;
                EXPECT_EQ(entry["date"], LocalIsoTime(source)) << file.name;
            }
            EXPECT_TRUE(listed) << file.name;
        }
    }
}

TEST_F(KvZipLayout, EntriesWhoseDataDoNotEndWhereTheySayFail) {
    for (const test::MisSizedZip& zip : test::MisSizedZips()) {
        SCOPED_TRACE(zip.label);
        test::WriteFile(dir_ / "a.zip", zip.bytes);
        std::string out;
        ASSERT_EQ(Run("t --json a.zip", &out), 1) << out;
        const auto verdicts = nlohmann::json::parse(out)["entries"];
        ASSERT_EQ(verdicts.size(), 2U) << out;
        EXPECT_EQ(verdicts[0]["name"], "good.txt");
        EXPECT_EQ(verdicts[0]["ok"], true);
        EXPECT_EQ(verdicts[1]["name"], "bad.txt");
        EXPECT_EQ(verdicts[1]["ok"], false);
        EXPECT_EQ(Run("x a.zip -y -o out", &out), 1) << out;
        EXPECT_NE(out.find("bad.txt: Decompression error"), std::string::npos) << out;
        EXPECT_EQ(test::ReadFile(dir_ / "out" / "good.txt"), test::kSoundText);
    }
}

// 50 central records over one deflated MiB: one file comes out, the rest are refused by name.
TEST_F(KvZipLayout, OverlappingEntriesAreRefused) {
    test::WriteFile(dir_ / "bomb.zip", test::OverlappingZip(50));
    std::string out;
    EXPECT_EQ(Run("x bomb.zip -o out", &out), 1) << out;
    EXPECT_NE(out.find("copy49.bin: Invalid zip file with overlapped components (possible zip bomb)"), std::string::npos)
        << out;
    std::uintmax_t written = 0;
    for (const auto& file : fs::recursive_directory_iterator(dir_ / "out")) written += file.file_size();
    EXPECT_EQ(written, 1U << 20);
    EXPECT_EQ(Run("t bomb.zip", &out), 1) << out;
}

// An end record claiming 65 535 entries over a directory of one: the one is listed and extracted, with a
// warning.
TEST_F(KvZipLayout, AnEndRecordCountingWrongStillGivesTheEntries) {
    test::WriteFile(dir_ / "count.zip", test::BuildZip({{.name = "one.txt", .data = "the only one\n"}}, {.claimed_count = 65535}));
    std::string out;
    EXPECT_EQ(Run("l --json count.zip", &out), 0) << out;
    const std::string listing = out.substr(out.find('{'));
    EXPECT_EQ(nlohmann::json::parse(listing)["entries"].size(), 1U) << out;
    Run("x count.zip -o out", &out);
    EXPECT_NE(out.find("Warning - Error in zip structure!"), std::string::npos) << out;
    EXPECT_EQ(test::ReadFile(dir_ / "out" / "one.txt"), "the only one\n");
}

}  // namespace
}  // namespace kv
