#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/crc.h"
#include "engine/core/custom_dclass.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace kv {
namespace {

struct ErrorRecord {
    std::string file;
    std::string extended;
    int code;
};

// A reader whose format routine the test supplies.
class ScriptedReader : public TUnBase {
public:
    std::function<void(ScriptedReader&, TStream32*)> routine;
    std::vector<ErrorRecord> errors;
    std::vector<std::string> events;

    ScriptedReader() {
        OnError = [this](TObject*, const std::string& file, const std::string& extended, const std::string&, int code) {
            errors.push_back({file, extended, code});
        };
        OnActivate = [this](TObject*) { events.push_back("activate"); };
        OnDeactivate = [this](TObject*) { events.push_back("deactivate"); };
    }

    // The protected primitives the format routines use.
    using TZipCommon::ChangeReadVolume;
    using TZipCommon::CurrentOutputPath;
    using TZipCommon::ProcessedCount;
    using TZipCommon::RestoreArchiveFile;

    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& e : errors) codes.push_back(e.code);
        return codes;
    }

protected:
    void ExtractIt(TStream32* archive, TObject*) override {
        if (routine) routine(*this, archive);
    }
};

class EngineBaseTest : public ::testing::Test {
protected:
    std::string MakeFile(const std::string& name, std::string_view bytes) {
        const auto path = dir_ / name;
        test::WriteFile(path, bytes);
        return path.string();
    }
    test::TempDir dir_;
};

TEST_F(EngineBaseTest, ExtractWithoutArchiveReportsFileNotFoundAndDoesNotActivate) {
    ScriptedReader reader;
    EXPECT_EQ(reader.Extract(), 0);
    EXPECT_EQ(reader.Codes(), std::vector<int>{ecode::kFileNotFound});
    EXPECT_TRUE(reader.events.empty());
}

TEST_F(EngineBaseTest, ArchiveThatCannotBeOpenedReportsErrorOpeningFile) {
    ScriptedReader reader;
    reader.SetArchiveFile(MakeFile("gone.bin", std::string(64, 'x')));
    std::filesystem::remove(dir_ / "gone.bin");
    EXPECT_EQ(reader.TestArchive(), 0);
    EXPECT_EQ(reader.Codes(), std::vector<int>{ecode::kErrorOpeningFile});
    EXPECT_TRUE(reader.events.empty());
}

TEST_F(EngineBaseTest, ExceptionInFormatRoutineStillDeactivatesAndRestoresArchiveName) {
    ScriptedReader reader;
    const std::string archive = MakeFile("a.bin", std::string(64, 'x'));
    reader.SetArchiveFile(archive);
    reader.routine = [](ScriptedReader& r, TStream32*) {
        r.RestoreArchiveFile("elsewhere.bin");  // as a volume change would
        throw std::runtime_error("broken entry");
    };
    EXPECT_EQ(reader.TestArchive(), 0);
    EXPECT_EQ(reader.events, (std::vector<std::string>{"activate", "deactivate"}));
    EXPECT_EQ(reader.ArchiveFile(), archive);
}

TEST_F(EngineBaseTest, ExtractDirGetsNativeDelimitersAndTrailingDelimiter) {
    ScriptedReader reader;
    reader.SetExtractDir("out\\sub");
    EXPECT_EQ(reader.ExtractDir(), "out/sub/");
    reader.SetArchiveFile(MakeFile("a.bin", std::string(64, 'x')));
    reader.SetExtractDir("");
    EXPECT_EQ(reader.ExtractDir(), dir_.Path().string() + "/");
}

TEST_F(EngineBaseTest, ElapsedTimeLeavesOutTimeSpentInErrorHandlers) {
    ScriptedReader reader;
    reader.SetArchiveFile(MakeFile("a.bin", std::string(64, 'x')));
    float elapsed = -1;
    reader.OnElapsedTime = [&](TObject*, float seconds) { elapsed = seconds; };
    reader.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    };
    reader.routine = [](ScriptedReader& r, TStream32*) { r.DoError("x", {}, "0", ecode::kBadFileHeader); };
    reader.TestArchive();
    EXPECT_GE(elapsed, 0.0f);
    EXPECT_LT(elapsed, 0.3f);
}

TEST_F(EngineBaseTest, ErrorsWhileCancelledCarryUserCanceled) {
    ScriptedReader reader;
    reader.SetArchiveFile(MakeFile("a.bin", std::string(64, 'x')));
    reader.routine = [](ScriptedReader& r, TStream32*) {
        r.SetCancel(true);
        r.DoError("x", {}, "0", ecode::kFileFailsCrcCheck);
    };
    reader.TestArchive();
    EXPECT_EQ(reader.Codes(), (std::vector<int>{ecode::kUserCanceled, ecode::kUserCanceled}));
}

// ---------------------------------------------------------------- block primitives

std::string WriteBlocks(ScriptedReader& reader, TArcType want_type, bool ascii, const std::vector<std::string>& blocks,
                const std::filesystem::path& out_path) {
    reader.AsciiTranslation = ascii;
    reader.routine = [&](ScriptedReader& r, TStream32*) {
        EXPECT_EQ(r.ArcType(), want_type);
        TFileStream32 out(out_path.string(), TFileOpenMode::fmCreate);
        for (std::string block : blocks) {
            r.WriteBlock(&out, reinterpret_cast<std::uint8_t*>(block.data()), true,
                         static_cast<std::int64_t>(block.size()), kCrc32, false);
        }
    };
    reader.Extract();
    return test::ReadFile(out_path);
}

TEST_F(EngineBaseTest, LineEndTranslationOnlyForGzipAndAcrossBlocks) {
    // A gzip header is enough for detection.
    const std::string gz = MakeFile("t.gz", std::string("\x1f\x8b\x08\x00", 4) + std::string(60, '\0'));
    ScriptedReader reader;
    reader.SetArchiveFile(gz);
    reader.SetExtractDir(dir_.Path().string());
    EXPECT_EQ(WriteBlocks(reader, atGZip, true, {"a\nb\r", "\nc\n"}, dir_ / "out1"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(reader.Crc32Value, ~Crc32Of("a\nb\r\nc\n", 7));

    ScriptedReader zip_reader;
    zip_reader.SetArchiveFile(MakeFile("t.zip", "PK\x03\x04" + std::string(60, '\0')));
    zip_reader.SetExtractDir(dir_.Path().string());
    EXPECT_EQ(WriteBlocks(zip_reader, atZip, true, {"a\nb"}, dir_ / "out2"), "a\nb");
}

TEST_F(EngineBaseTest, TestModeWritesNothingButCountsTheChecksum) {
    ScriptedReader reader;
    reader.SetArchiveFile(MakeFile("a.bin", std::string(64, 'x')));
    std::int64_t written = 0;
    reader.routine = [&](ScriptedReader& r, TStream32*) {
        std::string data = "abc";
        written = r.WriteBlock(nullptr, reinterpret_cast<std::uint8_t*>(data.data()), true, 3, kCrc32, false);
    };
    reader.TestArchive();
    EXPECT_EQ(written, 3);
    EXPECT_EQ(~reader.Crc32Value, 0x352441C2u);
    EXPECT_TRUE(reader.errors.empty());
}

TEST_F(EngineBaseTest, FullDiskReportsDiskFullAndEndsTheOperation) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ScriptedReader reader;
    reader.SetArchiveFile(MakeFile("a.bin", std::string(64, 'x')));
    reader.SetExtractDir(dir_.Path().string());
    bool reached_after = false;
    reader.routine = [&](ScriptedReader& r, TStream32*) {
        r.ProcessedCount = 3;
        TFileStream32 full("/dev/full", TFileOpenMode::fmOpenReadWrite);
        std::string data(1000, 'z');
        r.WriteBlock(&full, reinterpret_cast<std::uint8_t*>(data.data()), true, 1000, kCrc32, false);
        reached_after = true;
    };
    EXPECT_EQ(reader.Extract(), 0);
    EXPECT_FALSE(reached_after);
    EXPECT_EQ(reader.Codes(), std::vector<int>{ecode::kDiskFull});
    EXPECT_EQ(reader.events, (std::vector<std::string>{"activate", "deactivate"}));
}

TEST_F(EngineBaseTest, WriteErrorIsReportedOncePerEntry) {
    ScriptedReader reader;
    reader.SetArchiveFile(MakeFile("a.bin", std::string(64, 'x')));
    reader.SetExtractDir(dir_.Path().string());
    reader.routine = [&](ScriptedReader& r, TStream32*) {
        r.ProcessedCount = 1;
        TFileStream32 read_only(r.ArchiveFile(), TFileOpenMode::fmOpenRead);  // writes fail with EBADF
        std::string data(10, 'z');
        for (int i = 0; i < 3; ++i) {
            r.WriteBlock(&read_only, reinterpret_cast<std::uint8_t*>(data.data()), true, 10, kCrc32, false);
        }
    };
    EXPECT_EQ(reader.Extract(), 0);
    EXPECT_EQ(reader.Codes(), std::vector<int>{ecode::kErrorWritingToFile});
}

TEST_F(EngineBaseTest, CopyStoredCopiesInChunksAndReportsProgress) {
    std::string payload(100000, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7);
    ScriptedReader reader;
    reader.SetArchiveFile(MakeFile("a.bin", payload));
    reader.SetExtractDir(dir_.Path().string());
    std::vector<int> by_file;
    reader.OnProgress = [&](TObject*, std::uint8_t file, std::uint8_t) { by_file.push_back(file); };
    std::int64_t left = -1;
    reader.routine = [&](ScriptedReader& r, TStream32* archive) {
        TFileStream32 out((dir_ / "copy").string(), TFileOpenMode::fmCreate);
        TEntryRecord entry;
        entry.PackedSize = entry.UnpackedSize = static_cast<std::int64_t>(payload.size());
        left = r.CopyStored(*archive, &out, entry, kCrc32);
    };
    reader.Extract();
    EXPECT_EQ(left, 0);
    EXPECT_EQ(test::ReadFile(dir_ / "copy"), payload);
    EXPECT_EQ(~reader.Crc32Value, Crc32Of(payload.data(), payload.size()));
    EXPECT_EQ(by_file, (std::vector<int>{33, 66, 98}));  // after each full 32 KiB chunk but the last
}

// ---------------------------------------------------------------- destination check

class ScopedTmpDir {
public:
    explicit ScopedTmpDir(const std::string& value) {
        if (const char* old = std::getenv("TMPDIR")) old_ = old;
        ::setenv("TMPDIR", value.c_str(), 1);
    }
    ~ScopedTmpDir() {
        if (old_.empty()) ::unsetenv("TMPDIR");
        else ::setenv("TMPDIR", old_.c_str(), 1);
    }

private:
    std::string old_;
};

// Nothing can be created below /proc, whoever runs the tests.
constexpr const char* kProtectedDir = "/proc/kavrel-protected";

TEST_F(EngineBaseTest, ProtectedDestinationWithoutUserFolderReportsWriteProtected) {
    ScopedTmpDir tmp(dir_.Path().string());  // holds no login name
    ScriptedReader reader;
    reader.SetArchiveFile(MakeFile("a.bin", std::string(64, 'x')));
    reader.SetExtractDir(kProtectedDir);
    bool ran = false;
    reader.routine = [&](ScriptedReader&, TStream32*) { ran = true; };
    EXPECT_EQ(reader.Extract(), 0);
    EXPECT_FALSE(ran);
    EXPECT_EQ(reader.Codes(), std::vector<int>{ecode::kDirectoryWriteProtected});
}

TEST_F(EngineBaseTest, LimitedUserProtocol) {
    const std::string login = platform::LoginName();
    if (login.empty()) GTEST_SKIP() << "no login name";
    const auto temp_root = dir_ / login / "tmp";
    std::filesystem::create_directories(temp_root);
    ScopedTmpDir tmp(temp_root.string());
    const std::string user_dir = (dir_ / login).string() + "/";

    struct Case {
        const char* name;
        bool assign_handler;
        std::function<void(std::string&, bool&)> answer;
        std::vector<int> codes;
        bool extracts;
    };
    const std::vector<Case> cases = {
        {"no handler", false, nullptr, {ecode::kRequiredEventNotAssigned}, false},
        {"cancel", true, [](std::string&, bool& cancel) { cancel = true; }, {}, false},
        {"missing folder", true, [](std::string& dir, bool&) { dir = "/nonexistent/kavrel"; },
         {ecode::kInvalidDirectory}, false},
        {"offered folder", true, [](std::string&, bool&) {}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedReader reader;
        reader.SetArchiveFile(MakeFile("a.bin", std::string(64, 'x')));
        reader.SetExtractDir(kProtectedDir);
        std::string offered;
        if (c.assign_handler) {
            reader.OnLimitedUser = [&](TObject*, const std::string& protected_dir, std::string& dir, bool& cancel) {
                EXPECT_EQ(protected_dir, std::string(kProtectedDir) + "/");
                offered = dir;
                c.answer(dir, cancel);
            };
        }
        bool ran = false;
        reader.routine = [&](ScriptedReader&, TStream32*) { ran = true; };
        reader.Extract();
        EXPECT_EQ(ran, c.extracts);
        EXPECT_EQ(reader.Codes(), c.codes);
        if (c.assign_handler) {
            EXPECT_EQ(offered, user_dir);
        }
        if (c.extracts) {
            EXPECT_EQ(reader.ExtractDir(), user_dir);
        }
    }
}

// ---------------------------------------------------------------- volume change

TEST_F(EngineBaseTest, NextVolumeProtocol) {
    const std::string first = MakeFile("set.arj", "\x60\xEA" + std::string(62, '\0'));
    const std::string second = MakeFile("set.a01", "second volume");

    struct Case {
        const char* name;
        std::function<void(std::string&, bool&)> answer;
        bool changed;
        std::vector<int> codes;
    };
    const std::vector<Case> cases = {
        {"proposed name exists", [](std::string&, bool&) {}, true, {}},
        {"cancel", [](std::string&, bool& cancel) { cancel = true; }, false, {ecode::kUserCanceled}},
        // A handler that neither cancels nor names an existing file is asked a bounded number of times.
        {"never an existing file", [](std::string& name, bool&) { name = "/nonexistent/set.a01"; }, false,
         {ecode::kFileNotFound}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedReader reader;
        reader.SetArchiveFile(first);
        ASSERT_EQ(reader.ArcType(), atArj);
        int asked = 0;
        std::string proposed;
        reader.OnNextVolume = [&](TObject*, std::string& name, int, bool exists, bool& cancel) {
            if (asked++ == 0) {
                proposed = name;
                EXPECT_TRUE(exists);
            }
            c.answer(name, cancel);
        };
        bool changed = false;
        std::string read_back;
        reader.routine = [&](ScriptedReader& r, TStream32*) {
            r.RestoreArchiveFile(first);
            changed = r.ChangeReadVolume();
            if (changed) read_back = std::to_string(r.Detection().ArcSize);
        };
        reader.TestArchive();
        EXPECT_EQ(proposed, second);
        EXPECT_EQ(changed, c.changed);
        EXPECT_EQ(reader.Codes(), c.codes);
        EXPECT_LE(asked, 10);
        if (c.changed) {
            EXPECT_EQ(read_back, "13");
        }
        EXPECT_EQ(reader.ArchiveFile(), first);
    }
}

TEST_F(EngineBaseTest, RarVolumesAfterTheFirstFollowTheLetterOfTheOneBefore) {
    const std::string first = MakeFile("set.rar", std::string("Rar!\x1A\x07\x00", 7) + std::string(40, '\0'));
    const std::string second = MakeFile("set.r00", "second");
    const std::string third = MakeFile("set.r01", "third");
    ScriptedReader reader;
    reader.SetArchiveFile(first);
    ASSERT_EQ(reader.ArcType(), atRar);
    std::vector<std::string> proposed;
    reader.OnNextVolume = [&](TObject*, std::string& name, int, bool, bool&) { proposed.push_back(name); };
    reader.routine = [&](ScriptedReader& r, TStream32*) {
        r.RestoreArchiveFile(first);
        r.ChangeReadVolume();
        r.ChangeReadVolume();
    };
    reader.TestArchive();
    EXPECT_EQ(proposed, (std::vector<std::string>{second, third}));
}

TEST_F(EngineBaseTest, NextVolumeWithoutHandlerReportsMissingEvent) {
    ScriptedReader reader;
    reader.SetArchiveFile(MakeFile("set.arj", "\x60\xEA" + std::string(62, '\0')));
    bool changed = true;
    reader.routine = [&](ScriptedReader& r, TStream32*) { changed = r.ChangeReadVolume(); };
    reader.TestArchive();
    EXPECT_FALSE(changed);
    ASSERT_EQ(reader.errors.size(), 1u);
    EXPECT_EQ(reader.errors[0].code, ecode::kRequiredEventNotAssigned);
    EXPECT_EQ(reader.errors[0].extended, "OnNextVolume");
}

// ---------------------------------------------------------------- temporary folder

TEST_F(EngineBaseTest, TempDirCreatesMissingFolderOnlyWhenConfirmed) {
    ScriptedReader reader;
    const std::string missing = (dir_ / "new" / "tmp").string();
    std::string question;
    reader.OnConfirmCreateDir = [&](const std::string& q) {
        question = q;
        return false;
    };
    reader.SetTempDir(missing);
    EXPECT_EQ(question, missing + "/\n\nDirectory does not exist... Create?");
    EXPECT_EQ(reader.TempDir(), platform::SystemTempDirectory());

    reader.OnConfirmCreateDir = [](const std::string&) { return true; };
    reader.SetTempDir(missing);
    EXPECT_TRUE(std::filesystem::is_directory(missing));
    EXPECT_EQ(reader.TempDir(), missing + "/");
}

}  // namespace
}  // namespace kv
