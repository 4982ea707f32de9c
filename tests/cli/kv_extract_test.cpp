// kv t, kv x and kv e against archives made by zip and 7z: byte-identical output, the exit statuses, the
// overwrite switches, passwords and names that try to leave the destination.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <vector>

#include "cli/kv_program.h"
#include "support/test_support.h"

namespace kv {
namespace {

class KvExtract : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
        std::filesystem::create_directories(src() / "sub");
        std::string mixed;
        for (int i = 0; i < 20000; ++i) mixed += std::to_string(i * 7919 % 10007) + (i % 13 ? " " : "\n");
        test::WriteFile(src() / "text.txt", mixed);
        test::WriteFile(src() / "sub" / "small.txt", "small\n");
        test::WriteFile(src() / "empty.txt", "");
    }
    std::filesystem::path src() const { return dir_ / "src"; }
    int Run(const std::string& args, std::string* out = nullptr) {
        return test::RunCommand("cd '" + dir_.Path().string() + "' && " + test::Kv() + " " + args + " 2>&1 </dev/null", out);
    }
    int Make(const std::string& command) { return test::RunCommand("cd '" + src().string() + "' && " + command); }
    // Every file of the source tree has the same bytes under `out`.
    void ExpectSameTree(const std::filesystem::path& out) {
        for (const auto& file : std::filesystem::recursive_directory_iterator(src())) {
            if (!file.is_regular_file()) continue;
            const auto relative = std::filesystem::relative(file.path(), src());
            EXPECT_EQ(test::ReadFile(out / relative), test::ReadFile(file.path())) << relative;
        }
    }
    test::TempDir dir_;
};

TEST_F(KvExtract, ExtractsWhatRealToolsMadeByteForByte) {
    const struct {
        const char* archive;
        const char* command;
    } cases[] = {
        {"store.zip", "zip -q0r ../store.zip ."},
        {"fast.zip", "zip -q1r ../fast.zip ."},
        {"best.zip", "zip -q9r ../best.zip ."},
        {"bzip2.zip", "zip -qr -Z bzip2 ../bzip2.zip ."},
        // Stored, so that the source tree spans several 64 KiB parts (split.z01, ... split.zip).
        {"split.zip", "zip -q0r -s 64k ../split.zip ."},
        {"deflate64.zip", "7z a -tzip -mm=Deflate64 ../deflate64.zip . >/dev/null"},
        {"7zdeflate.zip", "7z a -tzip -mm=Deflate ../7zdeflate.zip . >/dev/null"},
    };
    for (const auto& c : cases) {
        if (std::string(c.command).rfind("7z", 0) == 0 && !test::HaveProgram("7z")) continue;
        ASSERT_EQ(Make(c.command), 0) << c.archive;
        if (std::string(c.archive) == "split.zip") {
            ASSERT_TRUE(std::filesystem::exists(dir_ / "split.z01"));
        }
        std::string out;
        const int tested = Run(std::string("t ") + c.archive, &out);
        EXPECT_EQ(tested, 0) << c.archive << out;
        const std::string target = std::string("out-") + c.archive;
        EXPECT_EQ(Run(std::string("x ") + c.archive + " -o " + target, &out), 0) << c.archive << out;
        ExpectSameTree(dir_ / target);
    }
}

// A Unix writer's permissions come back (less the umask): scripts stay executable, read-only stays so.
TEST_F(KvExtract, UnixPermissionsComeBack) {
    namespace fs = std::filesystem;
    test::WriteFile(src() / "run.sh", "#!/bin/sh\necho hi\n");
    fs::permissions(src() / "run.sh", fs::perms(0755));
    fs::permissions(src() / "sub" / "small.txt", fs::perms(0444));
    ASSERT_EQ(Make("zip -qr ../modes.zip ."), 0);
    ASSERT_EQ(Run("x modes.zip -o out"), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const auto mode = [](const fs::path& p) { return static_cast<unsigned>(fs::status(p).permissions()) & 0777; };
    EXPECT_EQ(mode(dir_ / "out" / "run.sh"), 0755u & ~mask);
    EXPECT_EQ(mode(dir_ / "out" / "sub" / "small.txt"), 0444u & ~mask);
    EXPECT_EQ(mode(dir_ / "out" / "text.txt"), static_cast<unsigned>(mode(src() / "text.txt")) & ~mask);
    fs::permissions(src() / "sub" / "small.txt", fs::perms(0644));  // so that the folder can be removed
    fs::permissions(dir_ / "out" / "sub" / "small.txt", fs::perms(0644));
}

TEST_F(KvExtract, FlatExtractionAndOverwriteSwitches) {
    ASSERT_EQ(Make("zip -qr ../a.zip ."), 0);
    std::string out;
    ASSERT_EQ(Run("e a.zip -o flat", &out), 0) << out;
    EXPECT_EQ(test::ReadFile(dir_ / "flat" / "small.txt"), "small\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "flat" / "sub"));

    test::WriteFile(dir_ / "flat" / "small.txt", "mine");
    EXPECT_EQ(Run("e a.zip -o flat -n", &out), 0) << out;  // skipping what exists is what was asked
    EXPECT_EQ(test::ReadFile(dir_ / "flat" / "small.txt"), "mine");
    EXPECT_EQ(Run("e a.zip -o flat", &out), 1) << out;  // no terminal to ask: skipped, and said so
    EXPECT_EQ(test::ReadFile(dir_ / "flat" / "small.txt"), "mine");
    EXPECT_EQ(Run("e a.zip -o flat -y", &out), 0) << out;
    EXPECT_EQ(test::ReadFile(dir_ / "flat" / "small.txt"), "small\n");
}

TEST_F(KvExtract, PasswordsAndJsonVerdicts) {
    ASSERT_EQ(Make("zip -qr -P secret ../p.zip ."), 0);
    std::string out;
    EXPECT_EQ(Run("t p.zip -p secret", &out), 0) << out;
    EXPECT_EQ(Run("t --json p.zip -p wrong", &out), 1) << out;
    const auto verdicts = nlohmann::json::parse(out);
    // The classic cipher checks a password by one byte, so a wrong one gets past it once in 256 entries and
    // then fails on the data instead, with whatever error the data gives first (through the ZIP manager a
    // library message may come before the CRC verdict). The empty entry has no data to fail on and may pass.
    std::vector<std::string> refused;
    std::set<std::string> failed;
    for (const auto& entry : verdicts["entries"]) {
        if (entry["ok"] == false) {
            const int error = entry["error"];
            EXPECT_NE(error, 0) << entry;
            failed.insert(entry["name"]);
            if (error == 26517) refused.push_back(entry["name"]);
        }
    }
    failed.erase("empty.txt");
    EXPECT_EQ(failed, (std::set<std::string>{"text.txt", "sub/small.txt"}));
    ASSERT_FALSE(refused.empty());
    EXPECT_EQ(Run("x p.zip -p wrong -o nothing", &out), 1) << out;
    for (const auto& name : refused)  // no empty stand-in is left for a refused entry
        EXPECT_FALSE(std::filesystem::exists(dir_ / "nothing" / name)) << name;
}

// WinZip AES as 7z writes it: the right password extracts the tree, a wrong one fails the test.
TEST_F(KvExtract, AesArchivesExtractWithTheirPassword) {
    if (!test::HaveProgram("7z")) GTEST_SKIP() << "7z is not installed";
    ASSERT_EQ(Make("7z a -tzip -mem=AES256 -pPW ../aes.zip . >/dev/null"), 0);
    std::string out;
    EXPECT_EQ(Run("x aes.zip -p PW -o out", &out), 0) << out;
    ExpectSameTree(dir_ / "out");
    EXPECT_EQ(Run("t aes.zip -p pw", &out), 1) << out;
}

TEST_F(KvExtract, HostileNamesStayInsideTheDestination) {
    if (!test::HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
    ASSERT_EQ(test::RunCommand("python3 -c \"import zipfile; z = zipfile.ZipFile('" + (dir_ / "evil.zip").string() +
                               "', 'w'); [z.writestr(n, 'x') for n in ('../up.txt', '/abs/a.txt', 'C:\\\\\\\\w\\\\\\\\d.txt', "
                               "'a/../../b.txt')]; z.close()\""),
              0);
    std::filesystem::create_directories(dir_ / "dest");
    std::string out;
    EXPECT_EQ(Run("x evil.zip -o dest", &out), 0) << out;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "up.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "b.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "dest" / "up.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "dest" / "abs" / "a.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "dest" / "a" / "b.txt"));
}

// Many Deflate entries share one inflate stream and the folders change from entry to entry: one damaged
// entry fails alone and every other one comes out whole, in its own folder.
TEST_F(KvExtract, ADamagedEntryAmongManyFailsAlone) {
    if (!test::HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
    test::WriteFile(dir_ / "make.py", R"(import struct, sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(300):
        z.writestr('d%d/f%d.txt' % (i % 7, i), ('line %d\n' % i) * (i + 50))
info = zipfile.ZipFile(sys.argv[1]).getinfo('d3/f150.txt')
data = bytearray(open(sys.argv[1], 'rb').read())
name_length, extra_length = struct.unpack('<HH', data[info.header_offset + 26:info.header_offset + 30])
start = info.header_offset + 30 + name_length + extra_length
for at in range(start + 2, start + info.compress_size - 2):
    data[at] ^= 0x55
open(sys.argv[1], 'wb').write(data)
)");
    ASSERT_EQ(test::RunCommand("cd '" + dir_.Path().string() + "' && python3 make.py many.zip"), 0);
    std::string out;
    EXPECT_EQ(Run("t --json many.zip", &out), 1) << out;
    const auto verdicts = nlohmann::json::parse(out);
    int passed = 0;
    for (const auto& entry : verdicts["entries"]) {
        if (entry["ok"] == true) ++passed;
        else EXPECT_EQ(entry["name"], "d3/f150.txt") << entry;
    }
    EXPECT_EQ(passed, 299);

    EXPECT_EQ(Run("x many.zip -o out", &out), 1) << out;
    for (int i = 0; i < 300; ++i) {
        if (i == 150) continue;
        std::string expected;
        for (int line = 0; line < i + 50; ++line) expected += "line " + std::to_string(i) + "\n";
        const auto path = dir_ / "out" / ("d" + std::to_string(i % 7)) / ("f" + std::to_string(i) + ".txt");
        ASSERT_EQ(test::ReadFile(path), expected) << path;
    }
}

// A write error (a file-size limit, with SIGXFSZ ignored, so writes fail with EFBIG) fails the big entry
// alone, in ZIP (through the engine library) and TAR: the old file stays, the later entries come out whole,
// the message names the file, and the status says that something failed.
TEST_F(KvExtract, AWriteErrorFailsItsEntryAndTheRunGoesOn) {
    std::string big(300 * 1024, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 % 253);
    test::WriteFile(src() / "big.bin", big);
    test::WriteFile(src() / "zz-after.txt", "after\n");
    ASSERT_EQ(Make("zip -q0 ../w.zip big.bin text.txt zz-after.txt && tar cf ../w.tar big.bin text.txt zz-after.txt"), 0);
    for (const char* archive : {"w.zip", "w.tar"}) {
        SCOPED_TRACE(archive);
        const auto out = dir_ / (std::string("out-") + archive);
        std::filesystem::create_directories(out);
        test::WriteFile(out / "big.bin", "old");
        std::string said;
        const int status = test::RunCommand("cd '" + dir_.Path().string() + "' && bash -c \"trap '' XFSZ; ulimit -f 200; " +
                                                test::Kv() + " x " + archive + " -y -o " + out.string() + "\" 2>&1 </dev/null",
                                            &said);
        EXPECT_EQ(status, 1) << said;
        EXPECT_NE(said.find("big.bin: Error writing to file"), std::string::npos) << said;
        EXPECT_EQ(test::ReadFile(out / "big.bin"), "old");
        EXPECT_EQ(test::ReadFile(out / "text.txt"), test::ReadFile(src() / "text.txt"));
        EXPECT_EQ(test::ReadFile(out / "zz-after.txt"), "after\n");
    }
}

// kv x -p wrong over an earlier extraction leaves the files as they were.
TEST_F(KvExtract, AWrongPasswordLeavesEarlierFilesAlone) {
    ASSERT_EQ(Make("zip -qr -P secret ../p.zip ."), 0);
    std::string out;
    ASSERT_EQ(Run("x p.zip -p secret -o out", &out), 0) << out;
    EXPECT_EQ(Run("x p.zip -p wrong -y -o out", &out), 1) << out;
    ExpectSameTree(dir_ / "out");
}

// Set-user-id comes back only when asked for, from ZIP (through the engine library) and TAR alike.
TEST_F(KvExtract, SpecialBitsOnlyWhenAsked) {
    test::WriteFile(src() / "tool", "#!/bin/sh\n");
    std::filesystem::permissions(src() / "tool", std::filesystem::perms(04755));
    ASSERT_EQ(Make("zip -q ../s.zip tool && tar cf ../s.tar tool"), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const char* archive : {"s.zip", "s.tar"}) {
        SCOPED_TRACE(archive);
        std::string out;
        for (const bool keep : {false, true}) {
            ASSERT_EQ(Run(std::string("x ") + archive + " -y -o out" + (keep ? " --keep-special-bits" : ""), &out), 0) << out;
            struct stat status {};
            ASSERT_EQ(::stat((dir_ / "out" / "tool").c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 07777, (keep ? 04755u : 0755u) & ~mask);
        }
    }
}

TEST_F(KvExtract, StatusTwoForWhatCannotBeRead) {
    test::WriteFile(dir_ / "text.zip", "not an archive at all");
    std::string out;
    EXPECT_EQ(Run("t missing.zip", &out), 2) << out;
    EXPECT_NE(out.find("File not found"), std::string::npos) << out;
    EXPECT_EQ(Run("t text.zip", &out), 2) << out;
}

}  // namespace
}  // namespace kv
