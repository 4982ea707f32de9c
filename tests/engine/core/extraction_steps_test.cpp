// The steps every reader shares: where an entry goes, whether it may replace what is there, which
// password opens it, and what date and attributes the file gets.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/crc.h"
#include "engine/core/custom_dclass.h"
#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/core/output_path.h"
#include "support/test_support.h"

namespace kv {
namespace {

struct FakeEntry {
    std::string name;
    std::string data;
    std::uint32_t attributes = 0x20;
    std::uint32_t dos_date = 0x5A8C6000;  // 12 April 2025, 12:00:00
    std::optional<TPreciseTime> mod_time = std::nullopt;
    bool damaged = false;  // the data fail their check
    int write_errno = 0;   // writing the data fails with this error
    bool link = false;     // a symbolic link whose target is the data
    bool folder = false;
};

// An output whose every write fails with one error, as a full disk or a broken device would.
class FailingStream : public TStream32 {
public:
    explicit FailingStream(int error) : error_(error) {}
    std::int64_t Read(void*, std::int64_t) override { return 0; }
    std::int64_t Write(const void*, std::int64_t) override {
        SetLastError(error_);
        return 0;
    }
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { return 0; }

private:
    int error_;
};

// A reader whose "archive" is a list of entries held in memory; each runs through the shared steps.
class FakeReader : public TUnBase {
public:
    static constexpr std::size_t kBlock = 16 * 1024;
    std::vector<FakeEntry> entries;
    std::vector<int> codes;
    std::vector<std::string> ended;
    bool keep_failed = false;  // what the end event answers about a failed entry's output

    FakeReader() {
        OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int code) {
            codes.push_back(code);
        };
        OnEnd = [this](TObject*, const std::string& name, bool pass) {
            ended.push_back(name + (pass ? "" : " FAIL"));
            KeepFailedOutput = keep_failed;
        };
    }

protected:
    void ExtractIt(TStream32*, TObject*) override {
        for (FakeEntry& e : entries) {
            SetOutputName(e.name);
            if (e.folder) {
                CreateStoredDirectory(e.name, e.attributes, e.dos_date, e.mod_time);
                continue;
            }
            if (!BeginFile()) continue;
            Crc32Value = 0xFFFFFFFFu;
            if (!OpenOutput(e.link)) {
                DoError(CurrentOutputPath, {}, "0", ecode::kErrorOpeningFile);
                continue;
            }
            FailingStream failing(e.write_errno);
            // In blocks, as decoders write: a failed write must also stop the blocks after it.
            for (std::size_t at = 0; at < e.data.size(); at += kBlock) {
                const auto size = static_cast<std::int64_t>(std::min(kBlock, e.data.size() - at));
                WriteBlock(e.write_errno != 0 ? &failing : Output.get(), reinterpret_cast<std::uint8_t*>(e.data.data() + at),
                           true, size, kCrc32, false);
            }
            CloseOutput(e.attributes, e.dos_date, e.mod_time);
            const std::uint32_t crc = ~UpdateCrc32(0xFFFFFFFFu, reinterpret_cast<const std::uint8_t*>(e.data.data()), e.data.size());
            CheckCRC(kCrc32, e.damaged ? crc ^ 1 : crc);
        }
    }
};

class ExtractionSteps : public ::testing::Test {
protected:
    ExtractionSteps() {
        archive_ = (dir_ / "fake.bin").string();
        test::WriteFile(archive_, std::string(64, 'x'));
        out_ = (dir_ / "out").string();
        reader_.SetArchiveFile(archive_);
        reader_.SetExtractDir(out_);
    }
    std::string Out(const std::string& name) const { return out_ + "/" + name; }
    // The hidden temporary outputs left anywhere below the destination.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> found;
        if (!std::filesystem::exists(out_)) return found;
        for (const auto& item : std::filesystem::recursive_directory_iterator(out_)) {
            const std::string name = item.path().filename().string();
            if (name.front() == '.' && name.find(".kv") != std::string::npos) found.push_back(name);
        }
        return found;
    }
    static struct stat Status(const std::string& path) {
        struct stat status {};
        EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
        return status;
    }

    test::TempDir dir_;
    std::string archive_;
    std::string out_;
    FakeReader reader_;
};

TEST(OutputPath, KeepsEveryStoredNameInsideTheDestination) {
    const struct {
        std::string_view stored;
        bool use_dirs;
        const char* expected;  // nullptr: nothing usable
    } cases[] = {
        {"dir/a.txt", true, "/x/dir/a.txt"},
        {"\\dir\\a.txt", true, "/x/dir/a.txt"},
        {"C:\\dir\\a.txt", true, "/x/dir/a.txt"},
        {"C:a.txt", true, "/x/a.txt"},
        {"dir/sub/a.txt", false, "/x/a.txt"},
        {"../evil.txt", true, "/x/evil.txt"},
        {"/etc/passwd", true, "/x/etc/passwd"},
        {"a/../../b/./c.txt", true, "/x/a/b/c.txt"},
        {"a/..", true, nullptr},
        {"", true, nullptr},
        {"dir/", true, nullptr},
        {std::string_view("dir/a.txt\0/../../b", 19), true, "/x/dir/a.txt"},
        {std::string_view("\0a.txt", 6), true, nullptr},
    };
    for (const auto& c : cases) {
        const auto path = BuildOutputPath("/x/", c.stored, c.use_dirs);
        if (c.expected == nullptr) {
            EXPECT_FALSE(path.has_value()) << c.stored;
        } else {
            EXPECT_EQ(path.value_or("(none)"), c.expected) << c.stored;
        }
    }
}

TEST_F(ExtractionSteps, WritesFilesWithTheirDatesAndReadOnlyAttribute) {
    reader_.entries = {{"dir/a.txt", "alpha"}, {"ro.txt", "beta", 0x21}};
    EXPECT_EQ(reader_.Extract(), 2);
    EXPECT_EQ(test::ReadFile(Out("dir/a.txt")), "alpha");
    EXPECT_EQ(reader_.ended, (std::vector<std::string>{Out("dir/a.txt"), Out("ro.txt")}));
    struct stat status {};
    ASSERT_EQ(::stat(Out("dir/a.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, DateTimeToFileTime(DosDateTimeToDateTime(0x5A8C6000)));
    EXPECT_NE(status.st_mode & S_IWUSR, 0u);
    ASSERT_EQ(::stat(Out("ro.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0222, 0u);

    // A read-only file is replaced by a new one, not refused.
    reader_.entries = {{"ro.txt", "gamma"}};
    EXPECT_EQ(reader_.Extract(), 1);
    EXPECT_EQ(test::ReadFile(Out("ro.txt")), "gamma");
}

TEST_F(ExtractionSteps, OverwriteRulesWithoutQuestions) {
    std::filesystem::create_directories(out_);
    test::WriteFile(Out("old.txt"), "old");
    reader_.entries = {{"old.txt", "new"}, {"fresh.txt", "fresh"}};

    reader_.OverwriteMode = omSkip;  // leaves existing files alone, still writes new ones
    EXPECT_EQ(reader_.Extract(), 1);
    EXPECT_EQ(test::ReadFile(Out("old.txt")), "old");
    EXPECT_EQ(test::ReadFile(Out("fresh.txt")), "fresh");

    reader_.OverwriteMode = omOverwrite;
    EXPECT_EQ(reader_.Extract(), 2);
    EXPECT_EQ(test::ReadFile(Out("old.txt")), "new");
}

TEST_F(ExtractionSteps, OverwriteQuestionCanRenameSkipOrBeMissing) {
    std::filesystem::create_directories(out_);
    test::WriteFile(Out("a.txt"), "old");
    test::WriteFile(Out("b.txt"), "taken too");
    reader_.entries = {{"a.txt", "new"}};
    reader_.ConfirmOverwrites = true;

    // The first new name exists as well, so the handler is asked again for it.
    std::vector<std::string> asked;
    reader_.OnFileExists = [&](TObject*, const std::string& path, std::string& new_name, TOverwriteMode& mode) {
        asked.push_back(path);
        new_name = asked.size() == 1 ? Out("b.txt") : Out("c.txt");
        mode = omOverwrite;
    };
    EXPECT_EQ(reader_.Extract(), 1);
    EXPECT_EQ(asked, (std::vector<std::string>{Out("a.txt"), Out("b.txt")}));
    EXPECT_EQ(test::ReadFile(Out("c.txt")), "new");
    EXPECT_EQ(test::ReadFile(Out("a.txt")), "old");

    reader_.OnFileExists = [](TObject*, const std::string&, std::string&, TOverwriteMode& mode) { mode = omSkip; };
    EXPECT_EQ(reader_.Extract(), 0);
    EXPECT_EQ(test::ReadFile(Out("a.txt")), "old");

    reader_.OnFileExists = nullptr;
    reader_.codes.clear();
    EXPECT_EQ(reader_.Extract(), 0);
    EXPECT_EQ(reader_.codes, std::vector<int>{ecode::kRequiredEventNotAssigned});
}

TEST_F(ExtractionSteps, NeverWritesThroughALinkOutOfTheDestination) {
    const std::string outside = (dir_ / "outside").string();
    std::filesystem::create_directories(outside);
    std::filesystem::create_directories(out_);
    std::filesystem::create_directory_symlink(outside, Out("link"));
    test::WriteFile(outside + "/victim.txt", "precious");
    std::filesystem::create_symlink(outside + "/victim.txt", Out("file-link"));
    reader_.entries = {{"link/x.txt", "bad"}, {"file-link", "replaces the link"}, {"../up.txt", "confined"}};
    EXPECT_EQ(reader_.Extract(), 2);
    EXPECT_EQ(reader_.codes, (std::vector<int>{ecode::kInvalidFileName}));
    EXPECT_FALSE(std::filesystem::exists(outside + "/x.txt"));
    // A link named as the output is replaced by it, never written through.
    EXPECT_EQ(test::ReadFile(outside + "/victim.txt"), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(Out("file-link")));
    EXPECT_EQ(test::ReadFile(Out("file-link")), "replaces the link");
    EXPECT_EQ(test::ReadFile(Out("up.txt")), "confined");

    // Asking before overwriting looks at the whole path, and refuses the same way.
    reader_.ConfirmOverwrites = true;
    reader_.OnFileExists = [](TObject*, const std::string&, std::string&, TOverwriteMode& mode) { mode = omOverwrite; };
    reader_.codes.clear();
    reader_.entries = {{"link/y.txt", "bad"}};
    EXPECT_EQ(reader_.Extract(), 0);
    EXPECT_EQ(reader_.codes, (std::vector<int>{ecode::kInvalidFileName}));
    EXPECT_FALSE(std::filesystem::exists(outside + "/y.txt"));
}

// Only the entry whose write failed fails; a full disk (ENOSPC, or the quota, EDQUOT) ends the run as
// documented. Either way the file the failed entry would have replaced is kept and no partial output stays.
TEST_F(ExtractionSteps, AFailedWriteFailsItsEntryOnlyAndAFullDiskEndsTheRun) {
    const struct {
        int error;
        bool ends_run;
    } cases[] = {{EFBIG, false}, {EIO, false}, {ENOSPC, true}, {EDQUOT, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        std::filesystem::remove_all(out_);
        std::filesystem::create_directories(out_);
        test::WriteFile(Out("bad.bin"), "old");
        reader_.codes.clear();
        reader_.ended.clear();
        reader_.entries = {{"bad.bin", std::string(100000, 'b'), 0x20, 0x5A8C6000, std::nullopt, false, c.error},
                           {"after.txt", "after"}};
        EXPECT_EQ(reader_.Extract(), c.ends_run ? 0 : 1);
        EXPECT_EQ(reader_.codes, std::vector<int>{c.ends_run ? ecode::kDiskFull : ecode::kErrorWritingToFile});
        EXPECT_EQ(test::ReadFile(Out("bad.bin")), "old");
        if (c.ends_run) {
            EXPECT_FALSE(std::filesystem::exists(Out("after.txt")));
        } else {
            EXPECT_EQ(test::ReadFile(Out("after.txt")), "after");
            EXPECT_EQ(reader_.ended, std::vector<std::string>{Out("after.txt")});  // no check verdict for bad.bin
        }
        EXPECT_EQ(Leftovers(), std::vector<std::string>{});
    }
}

// A real write error: a file-size limit (SIGXFSZ ignored, so writes fail with EFBIG) stops a big entry in
// a child process; every later entry must still be written in full.
TEST_F(ExtractionSteps, AFileSizeLimitFailsTheBigEntryAndEveryLaterOneIsWritten) {
    constexpr rlim_t kLimit = 64 * 1024;
    std::filesystem::create_directories(out_);
    test::WriteFile(Out("big.bin"), "the old big file");
    std::string big(4 * kLimit, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 % 251);
    reader_.entries = {{"big.bin", big}, {"a.txt", "first small"}, {"b.bin", std::string(kLimit / 2, 'x')},
                       {"c/d.txt", "last small"}};
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{kLimit, kLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const int written = reader_.Extract();
        ::_exit(reader_.codes == std::vector<int>{ecode::kErrorWritingToFile} ? written : 99);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);  // the three small entries, and the write error reported once
    EXPECT_EQ(test::ReadFile(Out("big.bin")), "the old big file");
    EXPECT_EQ(test::ReadFile(Out("a.txt")), "first small");
    EXPECT_EQ(test::ReadFile(Out("b.bin")), std::string(kLimit / 2, 'x'));
    EXPECT_EQ(test::ReadFile(Out("c/d.txt")), "last small");
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

// The old file stays byte for byte until its replacement passed its check; nothing temporary remains.
// A failed entry's output may be kept where no file bears its name.
TEST_F(ExtractionSteps, AFailedEntryLeavesTheOldFileAndNoTemporaryOne) {
    std::filesystem::create_directories(out_);
    test::WriteFile(Out("keep.txt"), "precious");
    test::WriteFile(Out("new.txt"), "old");
    reader_.entries = {{"keep.txt", "garbage"}, {"new.txt", "new"}, {"fresh.txt", "garbage"}};
    reader_.entries[0].damaged = true;
    reader_.entries[2].damaged = true;
    EXPECT_EQ(reader_.Extract(), 3);
    EXPECT_EQ(reader_.ended,
              (std::vector<std::string>{Out("keep.txt") + " FAIL", Out("new.txt"), Out("fresh.txt") + " FAIL"}));
    EXPECT_EQ(test::ReadFile(Out("keep.txt")), "precious");
    EXPECT_EQ(test::ReadFile(Out("new.txt")), "new");
    EXPECT_FALSE(std::filesystem::exists(Out("fresh.txt")));
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});

    // Asked to keep what failed, the output takes only a free name.
    reader_.keep_failed = true;
    EXPECT_EQ(reader_.Extract(), 3);
    EXPECT_EQ(test::ReadFile(Out("keep.txt")), "precious");
    EXPECT_EQ(test::ReadFile(Out("fresh.txt")), "garbage");
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

// Times to the nanosecond, also before 1980 and after 2107 (beyond the MS-DOS date); a link gets its own
// time, not its target; a folder gets its time and permissions after its contents were written.
TEST_F(ExtractionSteps, OutputsGetTheArchivesPreciseTimeAndFoldersTheirsAtTheEnd) {
    const TPreciseTime modern{1700000000, 123456789}, old{-1000000000, 5}, far{5000000000, 999999999},
        folder{86400, 0};
    reader_.CreateStoredDirs = true;
    reader_.entries = {{"d/", "", 0x10 | (040555u << 16), 0, folder},
                       {"d/modern.txt", "m", 0x20, 0x5A8C6000, modern},
                       {"d/old.txt", "o", 0x20, 0x5A8C6000, old},
                       {"far.txt", "f", 0x20, 0x5A8C6000, far},
                       {"d/link", "modern.txt", 0x20, 0x5A8C6000, old}};
    reader_.entries[0].folder = true;
    reader_.entries[4].link = true;
    EXPECT_EQ(reader_.Extract(), 4);
    EXPECT_EQ(reader_.codes, std::vector<int>{});
    const auto time_of = [](const struct stat& status) { return TPreciseTime{status.st_mtim.tv_sec, static_cast<std::uint32_t>(status.st_mtim.tv_nsec)}; };
    EXPECT_EQ(time_of(Status(Out("d/modern.txt"))), modern);
    EXPECT_EQ(time_of(Status(Out("d/old.txt"))), old);
    EXPECT_EQ(time_of(Status(Out("far.txt"))), far);
    EXPECT_TRUE(S_ISLNK(Status(Out("d/link")).st_mode));
    EXPECT_EQ(time_of(Status(Out("d/link"))), old);
    EXPECT_EQ(time_of(Status(Out("d"))), folder);
    EXPECT_EQ(Status(Out("d")).st_mode & 07777, 0555u);
    ::chmod(Out("d").c_str(), 0755);  // lets the fixture remove it
}

// Permissions a Unix writer stored: less the umask, never set-id or sticky unless asked for; MS-DOS
// read-only takes away write permission.
TEST_F(ExtractionSteps, UnixPermissionsAreRestoredWithoutSpecialBitsUnlessAskedFor) {
    const mode_t umask_now = ::umask(0);
    ::umask(umask_now);
    const struct {
        std::uint32_t attributes;
        bool keep_special;
        mode_t expected;
    } cases[] = {
        {0x20 | (0104755u << 16), false, 0755},
        {0x20 | (0104755u << 16), true, 04755},
        {0x20 | (0102750u << 16), true, 02750},
        {0x20 | (0100666u << 16), false, 0666},
        {0x21, false, 0444},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attributes);
        reader_.KeepSpecialBits = c.keep_special;
        reader_.entries = {{"f.bin", "x", c.attributes}};
        ASSERT_EQ(reader_.Extract(), 1);
        EXPECT_EQ(Status(Out("f.bin")).st_mode & 07777, c.expected & ~umask_now);
        ::chmod(Out("f.bin").c_str(), 0644);
    }
}

// A link is made only when its target stays inside the destination; the refused one leaves an existing
// file of its name alone.
TEST_F(ExtractionSteps, LinksLeadingOutOfTheDestinationAreRefused) {
    std::filesystem::create_directories(out_ + "/sub");
    test::WriteFile(Out("sub/out"), "kept");
    reader_.entries = {{"sub/in", "../top.txt"}, {"sub/out", "../../x"}, {"abs", "/etc/passwd"}, {"sub/self", "."}};
    for (FakeEntry& e : reader_.entries) e.link = true;
    EXPECT_EQ(reader_.Extract(), 2);
    EXPECT_EQ(reader_.codes, (std::vector<int>{ecode::kInvalidFileName, ecode::kInvalidFileName}));
    EXPECT_EQ(std::filesystem::read_symlink(Out("sub/in")), "../top.txt");
    EXPECT_EQ(std::filesystem::read_symlink(Out("sub/self")), ".");
    EXPECT_EQ(test::ReadFile(Out("sub/out")), "kept");
    EXPECT_FALSE(std::filesystem::exists(Out("abs")));
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

// A reader whose entries are enciphered with a "cipher header" that only the password "right" opens.
class PasswordReader : public TUnBase {
public:
    std::vector<int> codes;
    std::vector<std::string> results;
    int asked = 0;

    PasswordReader() {
        OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int code) {
            codes.push_back(code);
        };
    }
    bool CheckPassword(const TCipherHeader&) override { return Password == "right"; }

protected:
    void ExtractIt(TStream32* archive, TObject*) override {
        SetOutputName("secret.txt");
        EncryptionMethod = emZip_V2;
        archive->Seek(0, TSeekOrigin::soBeginning);
        results.push_back(GetPassword(*archive) ? "open" : "closed");
    }
};

TEST_F(ExtractionSteps, PasswordComesFromPasswordThenPasswordsThenTheQuestion) {
    const struct {
        const char* label;
        std::string password;
        std::vector<std::string> passwords;
        std::vector<std::string> answers;  // what OnGetPassword hands back in turn; "-" declines
        bool has_handler;
        const char* result;
        std::vector<int> codes;
        std::string password_after;
    } cases[] = {
        {"right at once", "right", {}, {}, true, "open", {}, "right"},
        {"third line of Passwords", "", {"a", "b", "right"}, {}, true, "open", {}, "right"},
        {"second answer", "", {}, {"wrong", "right"}, true, "open", {ecode::kInvalidPassword}, "right"},
        {"declined", "", {}, {"-"}, true, "closed", {ecode::kInvalidPassword}, ""},
        {"three wrong answers", "", {}, {"a", "b", "c"}, true, "closed",
         {ecode::kInvalidPassword, ecode::kInvalidPassword, ecode::kInvalidPassword}, ""},
        {"no handler", "", {}, {}, false, "closed", {ecode::kRequiredEventNotAssigned}, ""},
    };
    for (const auto& c : cases) {
        PasswordReader reader;
        reader.SetArchiveFile(archive_);
        reader.Password = c.password;
        reader.Passwords = c.passwords;
        std::size_t next = 0;
        if (c.has_handler) {
            reader.OnGetPassword = [&](TObject*, const std::string&, std::string& password, TSeedKeyRecord&,
                                       TSeedKeyRecord&, bool& try_again) {
                const std::string answer = next < c.answers.size() ? c.answers[next++] : "-";
                try_again = answer != "-";
                password = try_again ? answer : "";
            };
        }
        reader.TestArchive();
        EXPECT_EQ(reader.results, std::vector<std::string>{c.result}) << c.label;
        EXPECT_EQ(reader.codes, c.codes) << c.label;
        EXPECT_EQ(reader.Password, c.password_after) << c.label;
        if (std::string(c.label) == "second answer") {
            EXPECT_EQ(reader.Passwords.front(), "right") << c.label;
        }
    }
}

}  // namespace
}  // namespace kv
