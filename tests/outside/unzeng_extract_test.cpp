// libunzeng.so on archives made by zip and 7z: byte-identical extraction and clean tests for every method
// and cipher, passwords from the record or asked for, masks, the overwrite flags, CRC errors and hostile
// names.
#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tests/outside/unzeng_job.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::UnzipJob;

class UnzEng : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
        fs::create_directories(src() / "sub" / "deeper");
        std::string text, noise;
        for (int i = 0; i < 20000; ++i) text += std::to_string(i * 7919 % 10007) + (i % 13 ? " " : "\n");
        for (std::uint32_t i = 0, x = 12345; i < 100000; ++i) noise += static_cast<char>((x = x * 1103515245 + 12345) >> 24);
        test::WriteFile(src() / "text.txt", text);
        test::WriteFile(src() / "sub" / "small.txt", "small\n");
        test::WriteFile(src() / "sub" / "deeper" / "noise.bin", noise);
        test::WriteFile(src() / "empty.txt", "");
    }
    fs::path src() const { return dir_ / "src"; }
    // Makes an archive from the source folder with a tool's command line ("ARCHIVE" stands for its path).
    fs::path Make(const std::string& name, std::string command) {
        const fs::path archive = dir_ / name;
        command.replace(command.find("ARCHIVE"), 7, "'" + archive.string() + "'");
        EXPECT_EQ(test::RunCommand("cd '" + src().string() + "' && " + command + " >/dev/null"), 0) << command;
        return archive;
    }
    // The files below `root`, with their relative names.
    static std::set<std::string> Files(const fs::path& root) {
        std::set<std::string> files;
        if (!fs::exists(root)) return files;
        for (const auto& item : fs::recursive_directory_iterator(root))
            if (item.is_regular_file()) files.insert(fs::relative(item.path(), root).generic_string());
        return files;
    }
    void ExpectSameFiles(const fs::path& out) {
        EXPECT_EQ(Files(out), Files(src()));
        for (const std::string& file : Files(src()))
            EXPECT_TRUE(test::ReadFile(out / file) == test::ReadFile(src() / file)) << file;
    }
    test::TempDir dir_;
};

TEST_F(UnzEng, ExtractsAndTestsWhatZipAnd7zMadeByteForByte) {
    const struct {
        const char* archive;
        const char* command;
        const char* password;
    } cases[] = {
        {"store.zip", "zip -qr0 ARCHIVE .", ""},
        {"deflate.zip", "zip -qr9 ARCHIVE .", ""},
        {"zipcrypto.zip", "zip -qr -P pw ARCHIVE .", "pw"},
        {"7z-deflate.zip", "7z a -tzip -mm=Deflate ARCHIVE .", ""},
        {"7z-deflate64.zip", "7z a -tzip -mm=Deflate64 ARCHIVE .", ""},
        {"7z-bzip2.zip", "7z a -tzip -mm=BZip2 ARCHIVE .", ""},
        {"7z-zipcrypto.zip", "7z a -tzip -mem=ZipCrypto -ppw ARCHIVE .", "pw"},
        {"7z-aes128.zip", "7z a -tzip -mem=AES128 -ppw ARCHIVE .", "pw"},
        {"7z-aes256.zip", "7z a -tzip -mem=AES256 -ppw ARCHIVE .", "pw"},
        {"7z-aes256-stored.zip", "7z a -tzip -mx0 -mem=AES256 -ppw ARCHIVE .", "pw"},
        {"7z-aes256-deflate64.zip", "7z a -tzip -mm=Deflate64 -mem=AES256 -ppw ARCHIVE .", "pw"},
    };
    const bool have_7z = test::HaveProgram("7z");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        if (std::string(c.command).starts_with("7z") && !have_7z) continue;
        const fs::path archive = Make(c.archive, c.command);
        UnzipJob extract(archive);
        extract.Into(dir_ / "out" / c.archive).Password(c.password).PasswordRequests(0);
        EXPECT_EQ(extract.Run(), 4);
        ExpectSameFiles(dir_ / "out" / c.archive);
        UnzipJob test_job(archive);
        test_job.Test().Password(c.password).PasswordRequests(0);
        EXPECT_EQ(test_job.Run(), 4);
        EXPECT_EQ(test_job.Of(zrSkipped).size() + test_job.Of(zrCrcError).size() + test_job.Of(zrMessage).size(), 0u);
    }
}

// The record's password is tried first; a wrong or missing one is asked for (request 8, bit 0 of Arg1
// clear, Arg2 counting the repeats) up to PasswordReqCount times an entry, and an answer that works opens
// the entries after it too. "Cancel all" (ActionCode set to 0) ends the asking for the whole job.
TEST_F(UnzEng, WrongAndMissingPasswordsAreAskedForAndSkipped) {
    if (!test::HaveProgram("7z")) GTEST_SKIP() << "7z is not installed";
    test::WriteFile(src() / "empty.txt", "not empty here: 7z leaves empty files unenciphered\n");
    const struct {
        const char* archive;
        const char* command;
    } archives[] = {{"aes.zip", "7z a -tzip -mem=AES256 -ppw ARCHIVE ."}, {"zipcrypto.zip", "zip -qr -P pw ARCHIVE ."}};
    const struct {
        const char* what;
        const char* password;
        int requests_allowed;
        std::vector<std::string> answers;  // given to the requests in turn; "!" cancels all
        int extracted;
        std::vector<std::int32_t> repeats;  // Arg2 of the password requests
    } cases[] = {
        {"right in the record", "pw", 3, {}, 4, {}},
        {"given when asked", "", 3, {"pw"}, 4, {0}},
        {"given at the second request", "wrong", 3, {"bad", "pw"}, 4, {0, 1}},
        {"wrong, not answered", "wrong", 2, {}, 0, {0, 0, 0, 0}},
        {"wrong, wrong answers", "wrong", 2, std::vector<std::string>(8, "bad"), 0, {0, 1, 0, 1, 0, 1, 0, 1}},
        {"wrong, cancel all", "wrong", 3, {"!"}, 0, {0}},
        {"missing, no requests allowed", "", 0, {}, 0, {}},
    };
    for (const auto& a : archives) {
        const fs::path archive = Make(a.archive, a.command);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(a.archive) + ": " + c.what);
            // The classic cipher checks a password by one byte, which a wrong one passes once in 256 tries
            // (and then fails on the data), so only cases that never try a wrong one run on it.
            const bool tries_wrong = std::string(c.password) == "wrong" ||
                                     std::find(c.answers.begin(), c.answers.end(), "bad") != c.answers.end();
            if (std::string(a.archive) == "zipcrypto.zip" && tries_wrong) continue;
            const fs::path out = dir_ / "out" / a.archive / c.what;
            UnzipJob job(archive);
            job.Into(out).Password(c.password).PasswordRequests(c.requests_allowed);
            std::size_t answered = 0;
            job.Answer = [&](ZipCallbackRecord& record) {
                if (record.ActionCode != zrPassword || answered >= c.answers.size()) return 0;
                const std::string& answer = c.answers[answered++];
                if (answer == "!") record.ActionCode = 0;
                else test::AnswerText(record, answer), record.Arg1 = 1;
                return 0;
            };
            EXPECT_EQ(job.Run(), c.extracted);
            std::vector<std::int32_t> repeats;
            for (const auto& request : job.Of(zrPassword)) {
                EXPECT_EQ(request.arg1 & 1, 0);
                repeats.push_back(request.arg2);
            }
            EXPECT_EQ(repeats, c.repeats);
            if (c.extracted == 4) {
                ExpectSameFiles(out);
            } else {
                EXPECT_EQ(Files(out), std::set<std::string>{});  // no empty stand-ins
                EXPECT_EQ(job.Skipped(), "empty.txt:4 sub/deeper/noise.bin:4 sub/small.txt:4 text.txt:4 ");
            }
        }
    }
}

TEST_F(UnzEng, MasksPickEntriesIgnoringCase) {
    const fs::path archive = Make("a.zip", "zip -qr ARCHIVE .");
    const struct {
        std::vector<std::string> masks;
        std::set<std::string> files;
    } cases[] = {
        {{}, {"empty.txt", "sub/deeper/noise.bin", "sub/small.txt", "text.txt"}},
        {{"*.TXT"}, {"empty.txt", "sub/small.txt", "text.txt"}},
        {{"SUB/*"}, {"sub/deeper/noise.bin", "sub/small.txt"}},
        {{"Text.txt", "sub\\deeper\\NOISE.BIN"}, {"sub/deeper/noise.bin", "text.txt"}},
        {{"nothing*"}, {}},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(round);
        const fs::path out = dir_ / ("out" + std::to_string(round++));
        UnzipJob job(archive);
        job.Into(out).Masks(c.masks);
        EXPECT_EQ(job.Run(), static_cast<int>(c.files.size()));
        EXPECT_EQ(Files(out), c.files);
    }
}

// Existing files: one older than its entry, one newer, and one entry with no file yet.
TEST_F(UnzEng, OverwriteFreshenAndUpdateDecideAboutExistingFiles) {
    for (const char* name : {"old.txt", "new.txt", "missing.txt"}) test::WriteFile(src() / name, "from the archive\n");
    ASSERT_EQ(test::RunCommand("cd '" + src().string() + "' && touch -d '2020-01-01 12:00' old.txt new.txt missing.txt"), 0);
    const fs::path archive = Make("a.zip", "zip -q ARCHIVE old.txt new.txt missing.txt");
    enum : int { kOverWrite = 1, kFreshen = 2, kUpdate = 4 };
    const struct {
        int flags;
        int answer;             // to zrOverwrite (Arg2); -1: not answered
        const char* written;    // the files that hold the archive's text afterwards
        const char* skipped;    // name:UnZipSkipTypes + 1
        int asked;              // overwrite requests
    } cases[] = {
        {kOverWrite, -1, "missing new old ", "", 0},
        {0, -1, "missing ", "new.txt:2 old.txt:2 ", 2},
        {0, 0, "missing ", "new.txt:2 old.txt:2 ", 2},
        {0, 1, "missing new old ", "", 2},
        {kFreshen | kOverWrite, -1, "old ", "missing.txt:1 new.txt:1 ", 0},
        {kFreshen, 1, "old ", "missing.txt:1 new.txt:1 ", 1},
        {kUpdate | kOverWrite, -1, "missing old ", "new.txt:3 ", 0},
        {kUpdate | kFreshen | kOverWrite, -1, "missing old ", "new.txt:3 ", 0},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(round);
        const fs::path out = dir_ / ("out" + std::to_string(round++));
        fs::create_directories(out);
        test::WriteFile(out / "old.txt", "mine\n");
        test::WriteFile(out / "new.txt", "mine\n");
        ASSERT_EQ(test::RunCommand("cd '" + out.string() + "' && touch -d '2010-01-01' old.txt && touch -d '2030-01-01' new.txt"), 0);
        UnzipJob job(archive);
        job.Into(out);
        job.Command().OverWrite = (c.flags & kOverWrite) ? -1 : 0;
        job.Command().Freshen = (c.flags & kFreshen) ? -1 : 0;
        job.Command().Update = (c.flags & kUpdate) ? -1 : 0;
        job.Answer = [&](ZipCallbackRecord& record) {
            if (record.ActionCode == zrOverwrite && c.answer >= 0) record.Arg2 = c.answer;
            return 0;
        };
        job.Run();
        std::string written;
        for (const char* name : {"missing", "new", "old"}) {
            const fs::path file = out / (std::string(name) + ".txt");
            if (fs::exists(file) && test::ReadFile(file) == "from the archive\n") written += std::string(name) + " ";
        }
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(job.Skipped(), c.skipped);
        const auto asked = job.Of(zrOverwrite);
        ASSERT_EQ(static_cast<int>(asked.size()), c.asked);
        for (const auto& request : asked) {
            // The entry's index in the archive, and bit 16 when the file on disk is older.
            const bool old = request.text == "old.txt";
            EXPECT_EQ(request.arg1, (old ? 0 : 1) | (old ? 1 << 16 : 0)) << request.text;
            EXPECT_EQ(request.arg2, 0);
        }
    }
}

// A stored entry and an AES entry with one byte of their data changed: request 9 names the entry with the
// CRC found and the one expected, and its answer keeps or deletes what was written.
TEST_F(UnzEng, CrcErrorsAskWhetherToKeepTheFile) {
    test::WriteFile(src() / "one.txt", std::string(5000, 'x') + "end\n");
    struct Case {
        const char* archive;
        const char* command;
        const char* password;
    };
    std::vector<Case> cases = {{"stored.zip", "zip -q0 ARCHIVE one.txt", ""}};
    if (test::HaveProgram("7z")) cases.push_back({"aes.zip", "7z a -tzip -mx0 -mem=AES256 -ppw ARCHIVE one.txt", "pw"});
    for (const Case& c : cases) {
        std::string zip = test::ReadFile(Make(c.archive, c.command));
        const std::size_t data_at = 30 + (static_cast<std::uint8_t>(zip[26]) | static_cast<std::uint8_t>(zip[27]) << 8) +
                                    (static_cast<std::uint8_t>(zip[28]) | static_cast<std::uint8_t>(zip[29]) << 8);
        zip[data_at + 2500] ^= 0x20;
        test::WriteFile(dir_ / c.archive, zip);
        for (const int answer : {1, 0, -1}) {
            SCOPED_TRACE(std::string(c.archive) + " answered " + std::to_string(answer));
            const fs::path out = dir_ / "out" / c.archive / std::to_string(answer);
            UnzipJob job(dir_ / c.archive);
            job.Into(out).Password(c.password);
            job.Answer = [&](ZipCallbackRecord& record) {
                if (record.ActionCode == zrCrcError && answer >= 0) record.Arg1 = answer;
                return 0;
            };
            EXPECT_EQ(job.Run(), 0);
            const auto errors = job.Of(zrCrcError);
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_EQ(errors[0].text, "one.txt");
            EXPECT_NE(errors[0].arg1, errors[0].arg2);
            EXPECT_EQ(fs::exists(out / "one.txt"), answer != 0);
        }
        UnzipJob test_job(dir_ / c.archive);
        test_job.Test().Password(c.password);
        EXPECT_EQ(test_job.Run(), 0);
        EXPECT_EQ(test_job.Of(zrCrcError).size(), 1u);
    }
}

// Names climbing out, absolute names, a link in the destination and a new name given through request 17:
// everything lands inside the destination, nothing goes through the link.
TEST_F(UnzEng, HostileNamesStayInsideTheDestination) {
    if (!test::HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
    const fs::path archive = dir_ / "evil.zip";
    ASSERT_EQ(test::RunCommand("python3 -c \"import zipfile; z = zipfile.ZipFile('" + archive.string() +
                               "', 'w'); [z.writestr(n, 'x') for n in ('../up.txt', '/abs/a.txt', 'a/../../b.txt', "
                               "'link/into.txt', 'rename-me.txt')]; z.close()\""),
              0);
    const fs::path sandbox = dir_ / "sandbox";
    const fs::path out = sandbox / "a" / "b" / "out";
    fs::create_directories(out);
    fs::create_directories(sandbox / "elsewhere");
    fs::create_directory_symlink(sandbox / "elsewhere", out / "link");
    UnzipJob job(archive);
    job.Into(out).Command().OverWrite = -1;
    job.Answer = [](ZipCallbackRecord& record) {
        if (record.ActionCode == zrExtractName && std::string(record.Text) == "rename-me.txt")
            test::AnswerText(record, "../../../renamed.txt"), record.Arg1 = 1;
        return 0;
    };
    job.Run();
    EXPECT_TRUE(fs::is_empty(sandbox / "elsewhere"));
    std::set<std::string> outside;
    for (const auto& item : fs::recursive_directory_iterator(sandbox)) {
        const std::string path = item.path().string();
        if (!path.starts_with(out.string() + "/") && !item.is_directory()) outside.insert(path);
    }
    EXPECT_EQ(outside, std::set<std::string>{});
    EXPECT_TRUE(fs::exists(out / "up.txt"));
    EXPECT_TRUE(fs::exists(out / "renamed.txt"));
}

}  // namespace
}  // namespace kv
