// The engine libraries' requests during a job and how the callback answers them.
#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>

#include "fake_engine.h"
#include "support/zip_builder.h"
#include "zm_probe.h"

namespace kv {
namespace {

using test::FakeEngines;

// Answers password prompts from a queue and remembers what was asked.
class TPasswordPrompter : public test::TRecordingPrompter {
public:
    TPasswordAnswer PasswordPrompt(const std::string& title, const std::string& prompt, TPasswordButtons buttons) override {
        Prompts.push_back(title + "|" + prompt + "|" + std::to_string(buttons.Bits()));
        if (Answers.empty()) return {};
        TPasswordAnswer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    std::deque<TPasswordAnswer> Answers;
    std::vector<std::string> Prompts;
};

class EngineRequests : public ::testing::Test {
protected:
    void SetUp() override {
        zm().SetPrompter(prompter_);
        zm().SetDLLDirectory(FakeEngines::Directory());
        zm().SetZipFileName((dir_ / "new.zip").string());
        zm().FSpecArgs().Add("file.txt");
    }
    TZipManager& zm() { return probe_.zm; }
    // Runs an add job that makes `requests`; the callback's answers, in order.
    std::vector<std::string> Serve(const std::vector<std::string>& requests, const std::string& result = "0") {
        std::vector<std::string> script = requests;
        script.push_back("result\t" + result);
        fake_.Script(FakeEngines::Zip, script);
        fake_.ClearLog(FakeEngines::Zip);
        zm().Add();
        return fake_.Lines(FakeEngines::Zip, "answer ");
    }
    std::string Answer(const std::string& request) {
        const std::vector<std::string> answers = Serve({request});
        return answers.empty() ? "<none>" : answers.front();
    }

    test::TempDir dir_;
    FakeEngines fake_;
    test::TZipManagerProbe probe_;
    TPasswordPrompter prompter_;
};

TEST_F(EngineRequests, ProgressRequestsReachTheReportDispatcherWithFullSizes) {
    std::vector<std::pair<ProgressType, std::int64_t>> progress;
    zm().OnProgress = [&](TObject*, ProgressType type, const std::string&, std::int64_t size) {
        progress.emplace_back(type, size);
    };
    const long long five_gib = 5LL << 30;
    Serve({FakeEngines::Request(5, 0, 2), FakeEngines::Request(6, 1, 0x40000000, "", "", 0),
           FakeEngines::Request(1, 0, 0x40000000, "big.bin", "", five_gib), FakeEngines::Request(2, 0, 4096, "", "", 4096),
           FakeEngines::Request(3)});
    const std::vector<std::pair<ProgressType, std::int64_t>> expected = {
        {TotalFiles2Process, 2}, {TotalSize2Process, (1LL << 32) + 0x40000000}, {NewFile, five_gib},
        {ProgressUpdate, 4096}, {EndOfBatch, 0}};
    EXPECT_EQ(progress, expected);
}

TEST_F(EngineRequests, CrcOverwriteAndSkippedAnswers) {
    // Without a handler nobody was asked.
    EXPECT_NE(Answer(FakeEngines::Request(9, 0x1234, 0x5678, "a.txt")).find(" arg1=2 "), std::string::npos);
    std::uint32_t found = 0, expected = 0;
    zm().OnCRC32Error = [&](TObject*, const std::string& file, std::uint32_t f, std::uint32_t e, bool& extract) {
        EXPECT_EQ(file, "a.txt");
        found = f, expected = e;
        extract = false;
    };
    EXPECT_NE(Answer(FakeEngines::Request(9, 0x1234, 0x5678, "a.txt")).find(" arg1=0 "), std::string::npos);
    EXPECT_EQ(found, 0x1234u);
    EXPECT_EQ(expected, 0x5678u);

    // Request 10 left alone without a handler; with one, the answer is its decision.
    EXPECT_NE(Answer(FakeEngines::Request(10, 0x10007, 1, "a.txt")).find(" arg2=1 "), std::string::npos);
    bool older = false;
    int index = -1;
    zm().OnExtractOverwrite = [&](TObject*, const std::string&, bool is_older, bool& overwrite, int dir_index) {
        older = is_older, index = dir_index;
        overwrite = !overwrite;
    };
    EXPECT_NE(Answer(FakeEngines::Request(10, 0x10007, 1, "a.txt")).find(" arg2=0 "), std::string::npos);
    EXPECT_TRUE(older);
    EXPECT_EQ(index, 7);

    UnZipSkipTypes skip = stOnFreshen;
    int error = 0;
    zm().OnExtractSkipped = [&](TObject*, const std::string&, UnZipSkipTypes type, int code) { skip = type, error = code; };
    Answer(FakeEngines::Request(11, 0x0126, stBadPassword + 1, "a.txt"));
    EXPECT_EQ(skip, stBadPassword);
    EXPECT_EQ(error, 0x126);
    EXPECT_EQ(zm().ErrCode(), 0x26);
}

TEST_F(EngineRequests, NamesFromTheHandlers) {
    zm().OnSetNewName = [](TObject*, std::string& name, bool& changed) {
        name = "new/" + name;
        changed = true;
    };
    std::string disk_name;
    zm().OnSetAddName = [&](TObject*, std::string& name, const std::string& ext, bool& changed) {
        disk_name = ext;
        EXPECT_EQ(name, "new/a.txt");
        changed = false;
    };
    // The first handler's name stands although the second changes nothing.
    EXPECT_NE(Answer(FakeEngines::Request(7, 0, 0, "a.txt", "/home/u/a.txt")).find(" arg1=1 arg2=0 text=new/a.txt "),
              std::string::npos);
    EXPECT_EQ(disk_name, "/home/u/a.txt");

    // Extract names: accepted when changed and the same kind (file or folder) as before.
    struct Case {
        const char* old_name;
        const char* new_name;
        bool changed;
        const char* answer;
    };
    const Case cases[] = {
        {"a.txt", "b.txt", true, " arg1=1 arg2=0 text=b.txt "},
        {"a.txt", "a.txt/", true, " arg1=0 arg2=0 text=a.txt "},
        {"docs/", "papers", true, " arg1=0 arg2=0 text=docs/ "},
        {"docs/", "papers/", true, " arg1=1 arg2=0 text=papers/ "},
        {"a.txt", "b.txt", false, " arg1=0 arg2=0 text=a.txt "},
        {"a.txt", "a.txt", true, " arg1=0 arg2=0 text=a.txt "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.old_name) + " -> " + c.new_name);
        zm().OnSetExtName = [&](TObject*, std::string& name, bool& changed) {
            name = c.new_name;
            changed = c.changed;
        };
        EXPECT_NE(Answer(FakeEngines::Request(17, 5, 0, c.old_name)).find(c.answer), std::string::npos);
    }
}

TEST_F(EngineRequests, CommentsExtraFieldsAndMemoryBuffers) {
    zm().OnFileComment = [](TObject*, const std::string& file, std::string& comment, bool& changed) {
        comment = file + ": " + comment + "!";
        changed = true;
    };
    EXPECT_NE(Answer(FakeEngines::Request(12, 0, 0, "a.txt", "old")).find(" arg1=1 arg2=11 text=a.txt: old! "),
              std::string::npos);

    std::string seen;
    std::string reply = "short";
    zm().OnFileExtra = [&](TObject*, const std::string&, std::string& data, bool& changed) {
        seen = data;
        data = reply;
        changed = true;
    };
    EXPECT_NE(Answer(FakeEngines::Request(14, 0, 4, "a.txt", "UT\x05\x00")).find(" arg1=-1 arg2=5 "), std::string::npos);
    EXPECT_EQ(seen.substr(0, 2), "UT");
    reply = std::string(600, 'x');  // too long for the text area: handed over by address
    EXPECT_NE(Answer(FakeEngines::Request(14, 0, 4, "a.txt", "abcd")).find(" arg2=600 text=a.txt return=0 extra=" + reply),
              std::string::npos);

    EXPECT_NE(Answer(FakeEngines::Request(13, 0, 4096)).find(" arg1=1 arg2=0 "), std::string::npos);
}

TEST_F(EngineRequests, PasswordsFromTheHandler) {
    struct Case {
        TPasswordButton action;
        std::uint32_t repeat;
        const char* answer;
        bool cancelled;
    };
    const Case cases[] = {
        {pwbOk, 3, "code=8 arg1=1 arg2=3 text=secret ", false},
        {pwbOk, 40, "code=8 arg1=1 arg2=15 text=secret ", false},
        {pwbCancel, 3, "code=8 arg1=0 arg2=0 ", false},
        {pwbCancelAll, 3, "code=0 arg1=0 arg2=0 ", false},
        {pwbAbort, 3, "code=8 arg1=0 arg2=0 ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        bool zip_action = false;
        zm().OnPasswordError = [&](TObject*, bool is_zip, std::string& password, const std::string& file,
                                   std::uint32_t& repeat, TPasswordButton& action) {
            zip_action = is_zip;
            EXPECT_EQ(file, "a.txt");
            EXPECT_EQ(repeat, 2u);
            password = "secret";
            repeat = c.repeat;
            action = c.action;
        };
        const std::string answer = Answer(FakeEngines::Request(8, 0, 2, "a.txt"));
        EXPECT_NE(answer.find(c.answer), std::string::npos) << answer;
        EXPECT_EQ(answer.find(" return=1") != std::string::npos, c.cancelled) << answer;
        EXPECT_TRUE(zip_action);
    }
}

TEST_F(EngineRequests, PasswordPromptsForAddingAskTwice) {
    zm().SetUnattended(false);
    const std::string enter = "Password|Enter Password |" + std::to_string(TPasswordButtons{pwbOk, pwbCancel}.Bits());
    const std::string confirm = "Password|Confirm Password |" + std::to_string(TPasswordButtons{pwbOk, pwbCancel}.Bits());
    struct Case {
        std::vector<TPasswordAnswer> answers;
        std::vector<std::string> prompts;
        const char* answer;
        int message;
    };
    const Case cases[] = {
        {{{pwbOk, "pw"}, {pwbOk, "pw"}}, {enter, confirm}, "arg1=1 arg2=0 text=pw ", 0},
        {{{pwbOk, "pw"}, {pwbOk, "PW"}}, {enter, confirm}, "arg1=0 arg2=0 ", 10104},
        {{{pwbOk, "pw"}, {pwbCancel, ""}}, {enter, confirm}, "arg1=0 arg2=0 ", 0},
        {{{pwbCancel, ""}}, {enter}, "arg1=0 arg2=0 ", 0},
        {{{pwbOk, ""}}, {enter}, "arg1=0 arg2=0 ", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        prompter_.Answers.assign(c.answers.begin(), c.answers.end());
        prompter_.Prompts.clear();
        probe_.Messages.clear();
        const std::string answer = Answer(FakeEngines::Request(8, 1, 0, "a.txt"));
        EXPECT_NE(answer.find(c.answer), std::string::npos) << answer;
        EXPECT_EQ(prompter_.Prompts, c.prompts);
        EXPECT_EQ(probe_.Codes(), c.message ? std::vector<int>{c.message} : std::vector<int>{});
        if (c.message != 0) {
            EXPECT_EQ(probe_.zm.Message(), "Error - passwords do NOT match\nPassword ignored");
        }
    }
}

TEST_F(EngineRequests, PasswordPromptsForExtractingOfferCancelAll) {
    zm().SetUnattended(false);
    prompter_.Answers = {{pwbCancelAll, ""}};
    EXPECT_NE(Answer(FakeEngines::Request(8, 0, 1, "a.txt")).find("code=0 arg1=0 arg2=0 "), std::string::npos);
    ASSERT_EQ(prompter_.Prompts.size(), 1u);
    EXPECT_EQ(prompter_.Prompts[0],
              "Password|Enter Password |" + std::to_string(TPasswordButtons{pwbOk, pwbCancel, pwbCancelAll}.Bits()));
    // Nobody to ask: the headless prompter cancels.
    zm().SetPrompter(THeadlessPrompter::Instance());
    EXPECT_NE(Answer(FakeEngines::Request(8, 0, 1, "a.txt")).find("code=8 arg1=0 arg2=0 "), std::string::npos);
}

TEST_F(EngineRequests, UnattendedPasswordRequestsAreReported) {
    Answer(FakeEngines::Request(8, 1, 0, "a.txt"));
    Answer(FakeEngines::Request(8, 0, 0, "a.txt"));
    EXPECT_EQ(probe_.Codes(), (std::vector<int>{10150, 10151}));
    EXPECT_TRUE(prompter_.Prompts.empty());
    EXPECT_TRUE(probe_.prompter.Boxes.empty());
}

TEST_F(EngineRequests, AFailingHandlerStopsTheJobAndNamesItself) {
    int ticks = 0;
    zm().OnTick = [&](TObject*) {
        if (++ticks == 2) throw std::runtime_error("boom");
    };
    const std::vector<std::string> answers =
        Serve({FakeEngines::Request(0), FakeEngines::Request(0), FakeEngines::Request(0)}, "-4");
    ASSERT_EQ(answers.size(), 2u);  // the library stops at the first non-zero answer
    EXPECT_NE(answers[0].find(" return=0"), std::string::npos);
    EXPECT_NE(answers[1].find(" return=10106"), std::string::npos);
    EXPECT_EQ(zm().ErrCode(), 10120);
    EXPECT_EQ(zm().Message(), "DLL Error - User Cancelled #0 \"boom\"");

    // A library that goes on to report the abort gets the handler's failure named in that message.
    ticks = 0;
    probe_.Messages.clear();
    Serve({"nostop", FakeEngines::Request(0), FakeEngines::Request(0), FakeEngines::Request(4, 0x109, 0, "aborted")});
    ASSERT_FALSE(probe_.Messages.empty());
    EXPECT_EQ(probe_.Messages.front(), (std::pair<int, std::string>{0x109, "Exception in Event  #0 \"boom\""}));

    // The next job starts without the old failure.
    zm().OnTick = nullptr;
    probe_.Messages.clear();
    Serve({FakeEngines::Request(4, 9, 0, "aborted")});
    ASSERT_FALSE(probe_.Messages.empty());
    EXPECT_EQ(probe_.Messages.front(), (std::pair<int, std::string>{9, "aborted"}));
}

}  // namespace
}  // namespace kv
