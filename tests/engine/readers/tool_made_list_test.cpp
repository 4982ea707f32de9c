// Archives made at test time by real archivers list exactly the members that went in.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/core/crc.h"
#include "support/listing.h"
#include "support/test_support.h"

namespace kv {
namespace {

class ToolMadeListTest : public ::testing::Test {
protected:
    void SetUp() override {
        files_ = {{"a.txt", std::string(3000, 'a') + "end"},
                  {"stored.txt", "stored as is"},
                  {"secret.txt", "very secret text, long enough"},
                  {"sub/b.bin", std::string("\x01\x02\x03\x00\x05", 5)}};
        std::filesystem::create_directory(dir_ / "sub");
        for (const auto& [name, data] : files_) test::WriteFile(dir_ / name, data);
    }
    // Runs a command in the work folder; skips the test when the tool is missing.
    bool Run(const std::string& tool, const std::string& command) {
        if (!test::HaveProgram(tool)) return false;
        std::string output;
        const int status = test::RunCommand("cd '" + dir_.Path().string() + "' && " + command, &output);
        EXPECT_EQ(status, 0) << command << "\n" << output;
        return status == 0;
    }
    test::Listing List(const std::string& archive) { return test::ListArchive((dir_ / archive).string()); }
    // Every listed file is one that went in, with its size (and CRC-32 when the format stores one).
    void ExpectFiles(const test::Listing& listing, const std::vector<std::string>& names, bool crc) {
        std::vector<std::string> listed;
        for (const TEntryRecord& entry : listing.entries) {
            if (entry.FileName.ends_with("/")) continue;
            listed.push_back(entry.FileName);
            const auto it = files_.find(entry.FileName);
            ASSERT_NE(it, files_.end()) << entry.FileName;
            EXPECT_EQ(entry.UnpackedSize, static_cast<std::int64_t>(it->second.size())) << entry.FileName;
            if (crc) {
                EXPECT_EQ(entry.FileCRC, Crc32Of(it->second.data(), it->second.size())) << entry.FileName;
            }
        }
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, names);
    }
    std::map<std::string, std::string> files_;
    test::TempDir dir_;
};

TEST_F(ToolMadeListTest, InfoZip) {
    if (!Run("zip", "zip -q -r x.zip a.txt sub && zip -q -0 x.zip stored.txt && zip -q -P pw x.zip secret.txt && "
                    "echo 'the comment' | zip -q -z x.zip")) {
        GTEST_SKIP() << "zip missing";
    }
    const test::Listing listing = List("x.zip");
    ExpectFiles(listing, {"a.txt", "secret.txt", "stored.txt", "sub/b.bin"}, true);
    std::map<std::string, const TEntryRecord*> by_name;
    for (const TEntryRecord& entry : listing.entries) by_name[entry.FileName] = &entry;
    ASSERT_TRUE(by_name.count("sub/"));
    EXPECT_EQ(by_name["sub/"]->ExternalAttr & 0x10, 0x10u);
    EXPECT_EQ(by_name["stored.txt"]->CompressMethodName, "Stored");
    EXPECT_EQ(by_name["a.txt"]->CompressMethod, 8);
    EXPECT_TRUE(by_name["secret.txt"]->Encrypted);
    EXPECT_FALSE(by_name["a.txt"]->Encrypted);
    EXPECT_TRUE(listing.errors.empty());
}

TEST_F(ToolMadeListTest, SevenZipAndBsdtarZips) {
    bool any = false;
    if (Run("7z", "7z a -tzip -bd 7.zip a.txt stored.txt sub >/dev/null")) {
        ExpectFiles(List("7.zip"), {"a.txt", "stored.txt", "sub/b.bin"}, true);
        any = true;
    }
    // bsdtar writes ZIP64 records on request and streams data descriptors.
    if (Run("bsdtar", "bsdtar --format zip --options zip:zip64 -cf b.zip a.txt stored.txt sub")) {
        ExpectFiles(List("b.zip"), {"a.txt", "stored.txt", "sub/b.bin"}, true);
        any = true;
    }
    if (!any) GTEST_SKIP() << "7z and bsdtar missing";
}

TEST_F(ToolMadeListTest, GnuTarFormats) {
    const std::string long_dir = std::string(60, 'd');
    const std::string long_file = std::string(89, 'f');  // 150 bytes with the folder
    files_[long_dir + "/" + long_file] = "long";
    std::filesystem::create_directory(dir_ / long_dir);
    test::WriteFile(dir_ / long_dir / long_file, "long");
    for (const char* format : {"gnu", "pax", "ustar"}) {
        if (!Run("tar", std::string("tar --format=") + format + " -cf " + format + ".tar a.txt sub " + long_dir)) {
            GTEST_SKIP() << "tar missing";
        }
        const test::Listing listing = List(std::string(format) + ".tar");
        EXPECT_EQ(listing.type, atTar) << format;
        ExpectFiles(listing, {"a.txt", long_dir + "/" + long_file, "sub/b.bin"}, false);
    }
}

TEST_F(ToolMadeListTest, GzipStoredAndArchiveNames) {
    if (!Run("gzip", "gzip -N -c a.txt > named.gz && gzip -n -c a.txt > plain.txt.gz")) GTEST_SKIP() << "gzip missing";
    const test::Listing named = List("named.gz");
    ASSERT_EQ(named.entries.size(), 1u);
    EXPECT_EQ(named.entries[0].FileName, "a.txt");
    ExpectFiles(named, {"a.txt"}, true);
    const test::Listing plain = List("plain.txt.gz");
    ASSERT_EQ(plain.entries.size(), 1u);
    EXPECT_EQ(plain.entries[0].FileName, "plain.txt");
    EXPECT_EQ(plain.entries[0].UnpackedSize, 3003);
}

TEST_F(ToolMadeListTest, Bzip2AndCompressReportTheArchiveSize) {
    bool any = false;
    for (const auto& [tool, archive] : {std::pair{"bzip2", "a.txt.bz2"}, std::pair{"compress", "a.txt.Z"}}) {
        if (!Run(tool, std::string(tool) + " -c a.txt > " + archive)) continue;
        any = true;
        const test::Listing listing = List(archive);
        ASSERT_EQ(listing.entries.size(), 1u) << tool;
        EXPECT_EQ(listing.entries[0].FileName, "a.txt");
        EXPECT_EQ(listing.entries[0].UnpackedSize, static_cast<std::int64_t>(std::filesystem::file_size(dir_ / archive)) - 10);
    }
    if (!any) GTEST_SKIP() << "bzip2 and compress missing";
}

TEST_F(ToolMadeListTest, Uuencode) {
    if (!Run("uuencode", "uuencode a.txt a.txt > a.uue && uuencode -m a.txt a.txt > a.b64")) {
        GTEST_SKIP() << "uuencode missing";
    }
    const test::Listing uu = List("a.uue");
    ASSERT_EQ(uu.entries.size(), 1u);
    EXPECT_EQ(uu.entries[0].FileName, "a.txt");
    EXPECT_EQ(uu.entries[0].UnpackedSize, static_cast<std::int64_t>(std::filesystem::file_size(dir_ / "a.uue")));
    // "begin-base64" is not a line detection recognises: nothing to list.
    EXPECT_TRUE(List("a.b64").entries.empty());
}

}  // namespace
}  // namespace kv
