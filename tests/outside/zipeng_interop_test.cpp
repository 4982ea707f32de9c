// Archives written by libzipeng.so against the peer tools: each must test clean and extract to the same
// files with unzip, 7z and bsdtar.
#include <sys/stat.h>


#include "support/sample_data.h"
#include "zipeng_fixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

// Text, an incompressible file (stored even when deflating), an empty file, nested folders and a script.
void MakeSourceTree(const fs::path& dir) {
    fs::create_directories(dir / "sub" / "deeper");
    WriteFile(dir / "readme.txt", TextBytes(5000));
    WriteFile(dir / "big.txt", TextBytes(300000));
    WriteFile(dir / "random.bin", RandomBytes(100000, 1));
    WriteFile(dir / "empty.txt", "");
    WriteFile(dir / "sub" / "deeper" / "note.md", "# note\n");
    WriteFile(dir / "run.sh", "#!/bin/sh\necho hi\n");
    fs::permissions(dir / "run.sh", fs::perms(0755));
}

struct PeerTool {
    const char* Program;
    std::string Test;     // {A} archive, {P} password
    std::string Extract;  // {D} destination
};

std::string Expand(std::string text, const fs::path& archive, const fs::path& dest, const std::string& password) {
    const auto replace = [&](const std::string& key, const std::string& value) {
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size())) {
            text.replace(at, key.size(), value);
        }
    };
    replace("{A}", Quoted(archive));
    replace("{D}", Quoted(dest));
    replace("{P}", "'" + password + "'");
    return text;
}

// Tests and extracts the archive with every peer tool present that can read its cipher.
void ExpectPeersAgree(const fs::path& archive, const fs::path& source, const std::string& password, bool aes) {
    const bool encrypted = !password.empty();
    std::vector<PeerTool> tools;
    if (!aes) {
        tools.push_back({"unzip", encrypted ? "unzip -t -P {P} {A}" : "unzip -t {A}",
                         encrypted ? "unzip -q -P {P} {A} -d {D}" : "unzip -q {A} -d {D}"});
    }
    tools.push_back({"7z", encrypted ? "7z t -p{P} {A}" : "7z t {A}", encrypted ? "7z x -y -p{P} -o{D} {A}" : "7z x -y -o{D} {A}"});
    tools.push_back({"bsdtar", encrypted ? "bsdtar --passphrase {P} -tf {A}" : "bsdtar -tf {A}",
                     encrypted ? "bsdtar --passphrase {P} -xf {A} -C {D}" : "bsdtar -xf {A} -C {D}"});
    for (const PeerTool& tool : tools) {
        if (!HaveProgram(tool.Program)) continue;
        SCOPED_TRACE(tool.Program);
        TempDir dest;
        std::string output;
        EXPECT_EQ(RunCommand(Expand(tool.Test, archive, dest.Path(), password) + " 2>&1", &output), 0) << output;
        ASSERT_EQ(RunCommand(Expand(tool.Extract, archive, dest.Path(), password) + " 2>&1", &output), 0) << output;
        EXPECT_EQ(TreeContents(dest.Path()), TreeContents(source));
        EXPECT_EQ(fs::status(dest / "run.sh").permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
    }
}

struct EncodingCase {
    const char* Name;
    int Level;
    int AesStrength;
    const char* Password;
};

class ZipEngEncodings : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(ZipEngEncodings, PeerToolsTestAndExtractTheSameFiles) {
    const EncodingCase& c = GetParam();
    TempDir dir;
    MakeSourceTree(dir / "src");
    ZipEngJob job(dir / "out.zip");
    job.RootDir(dir / "src").Pattern("*", true, c.Password != nullptr);
    job.Command.Level = c.Level;
    job.Command.AesStrength = c.AesStrength;
    if (c.Password != nullptr) job.Password(c.Password);
    EXPECT_EQ(job.Run(), 6);
    EXPECT_EQ(CentralNames(dir / "out.zip").size(), 8u);  // six files and two folders
    ExpectPeersAgree(dir / "out.zip", dir / "src", c.Password ? c.Password : "", c.AesStrength != 0);
}

INSTANTIATE_TEST_SUITE_P(Levels, ZipEngEncodings,
                         ::testing::Values(EncodingCase{"Stored", 0, 0, nullptr}, EncodingCase{"Level1", 1, 0, nullptr},
                                           EncodingCase{"Level6", 6, 0, nullptr}, EncodingCase{"Level9", 9, 0, nullptr},
                                           EncodingCase{"ZipCrypto", 6, 0, "s3cret pass"},
                                           EncodingCase{"Aes256", 6, 3, "s3cret pass"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ZipEngNames, Utf8FlagOnlyWhereTheOemCodePageCannotHoldTheName) {
    TempDir dir;
    fs::create_directories(dir / "src");
    WriteFile(dir / "src" / "plain.txt", "a");
    WriteFile(dir / "src" / "caf\xC3\xA9.txt", "b");            // CP437 holds it
    WriteFile(dir / "src" / "\xE6\x97\xA5\xE6\x9C\xAC.txt", "c");  // it does not
    for (const std::uint16_t code_page : {std::uint16_t{2}, std::uint16_t{0}}) {
        SCOPED_TRACE(code_page);
        fs::remove(dir / "out.zip");
        ZipEngJob job(dir / "out.zip");
        job.RootDir(dir / "src").Pattern("*");
        job.Command.CodePage = code_page;
        ASSERT_EQ(job.Run(), 3);
        const auto names = CentralNames(dir / "out.zip");
        EXPECT_EQ(names.at("plain.txt") & 0x0800, 0);
        EXPECT_NE(names.at("\xE6\x97\xA5\xE6\x9C\xAC.txt") & 0x0800, 0);
        if (code_page == 2) {
            EXPECT_EQ(names.at("caf\x82.txt") & 0x0800, 0);  // é in CP437
        } else {
            EXPECT_NE(names.at("caf\xC3\xA9.txt") & 0x0800, 0);
        }
        // OEM names need the reader told their code page (of the peers here only bsdtar can be); UTF-8 ones
        // are read as they are.
        const std::vector<std::string> tools =
            code_page == 2 ? std::vector<std::string>{"bsdtar --options hdrcharset=CP437 -xf {A} -C {D}"}
                           : std::vector<std::string>{"7z x -y -o{D} {A}", "bsdtar -xf {A} -C {D}", "unzip -q {A} -d {D}"};
        for (const std::string& tool : tools) {
            TempDir dest;
            std::string output;
            ASSERT_EQ(RunCommand(Expand(tool, dir / "out.zip", dest.Path(), "") + " 2>&1", &output), 0) << output;
            EXPECT_EQ(TreeContents(dest.Path()), TreeContents(dir / "src")) << tool;
        }
    }
}

// More than 65 535 entries need the ZIP64 end records.
TEST(ZipEngZip64, ManyEntriesGetZip64EndRecords) {
    TempDir dir;
    constexpr int kFiles = 65600;
    for (int folder = 0; folder < 41; ++folder) {
        const fs::path sub = dir / "src" / ("d" + std::to_string(folder));
        fs::create_directories(sub);
        for (int i = folder * 1600; i < std::min(kFiles, (folder + 1) * 1600); ++i) WriteFile(sub / std::to_string(i), "x");
    }
    ZipEngJob job(dir / "out.zip");
    job.RootDir(dir / "src").Pattern("*");
    job.Command.NoSeparateDirs = -1;
    job.Command.Threads = 0;
    ASSERT_EQ(job.Run(), kFiles);
    const std::string bytes = ReadFile(dir / "out.zip");
    EXPECT_NE(bytes.find(std::string("PK\x06\x06", 4), bytes.size() - 200), std::string::npos);
    std::string output;
    if (HaveProgram("unzip")) {
        EXPECT_EQ(RunCommand("unzip -tq " + Quoted(dir / "out.zip") + " 2>&1", &output), 0) << output;
    }
    if (HaveProgram("7z")) {
        EXPECT_EQ(RunCommand("7z t " + Quoted(dir / "out.zip") + " 2>&1", &output), 0) << output;
    }
    if (HaveProgram("bsdtar")) {
        ASSERT_EQ(RunCommand("bsdtar -tf " + Quoted(dir / "out.zip") + " | wc -l", &output), 0);
        EXPECT_EQ(std::stoi(output), kFiles);
    }
}

// An entry beyond the whole-buffer budget streams through zlib into the archive.
TEST(ZipEngLargeEntries, StreamedEntryPassesPeerTools) {
    TempDir dir;
    fs::create_directories(dir / "src");
    WriteFile(dir / "src" / "large.txt", TextBytes((std::size_t{64} << 20) + 12345));
    WriteFile(dir / "src" / "small.txt", TextBytes(1000));
    ZipEngJob job(dir / "out.zip");
    job.RootDir(dir / "src").Pattern("*");
    job.Command.Level = 1;
    job.Command.Threads = 2;
    ASSERT_EQ(job.Run(), 2);
    EXPECT_LT(fs::file_size(dir / "out.zip"), std::uintmax_t{20} << 20);
    std::int64_t done = 0;
    for (const SentRequest& request : job.Of(zrBytesDone)) done += request.Size;
    EXPECT_EQ(done, static_cast<std::int64_t>((std::size_t{64} << 20) + 12345 + 1000));
    for (const char* tool : {"unzip -tq {A}", "7z t {A}", "bsdtar -tf {A}"}) {
        std::string output;
        EXPECT_EQ(RunCommand(Expand(tool, dir / "out.zip", dir.Path(), "") + " 2>&1", &output), 0) << output;
    }
    TempDir dest;
    ASSERT_EQ(RunCommand("unzip -q " + Quoted(dir / "out.zip") + " -d " + Quoted(dest.Path())), 0);
    EXPECT_EQ(TreeContents(dest.Path()), TreeContents(dir / "src"));
}

}  // namespace
}  // namespace kv::test
