// The steps every reader shares: where an entry goes, whether it may replace what is there, which
// password opens it, and what date and attributes the file gets.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
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
};

// A reader whose "archive" is a list of entries held in memory; each runs through the shared steps.
class FakeReader : public TUnBase {
public:
    std::vector<FakeEntry> entries;
    std::vector<int> codes;
    std::vector<std::string> ended;

    FakeReader() {
        OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int code) {
            codes.push_back(code);
        };
        OnEnd = [this](TObject*, const std::string& name, bool pass) { ended.push_back(name + (pass ? "" : " FAIL")); };
    }

protected:
    void ExtractIt(TStream32*, TObject*) override {
        for (FakeEntry& e : entries) {
            SetOutputName(e.name);
            if (!BeginFile()) continue;
            Crc32Value = 0xFFFFFFFFu;
            if (!OpenOutput()) {
                DoError(CurrentOutputPath, {}, "0", ecode::kErrorOpeningFile);
                continue;
            }
            WriteBlock(Output.get(), reinterpret_cast<std::uint8_t*>(e.data.data()), true,
                       static_cast<std::int64_t>(e.data.size()), kCrc32, false);
            CloseOutput(e.attributes, e.dos_date);
            CheckCRC(kCrc32, ~UpdateCrc32(0xFFFFFFFFu, reinterpret_cast<const std::uint8_t*>(e.data.data()), e.data.size()));
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
