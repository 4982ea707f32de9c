// The job record checks, and the guarantee that a job that stops or fails leaves the archive as it was.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "zipeng_fixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

TEST(ZipEngRecord, VersionsAndRecordChecks) {
    const auto& library = ZipEngLibrary();
    EXPECT_EQ(library.Entry<ZipEngVersionFn>("GetZipEngVersion")(), 176);
    EXPECT_GT(library.Entry<ZipEngVersionFn>("GetZipEngPrivVersion")(), 0);
    EXPECT_EQ(ZipEngExecEntry()(nullptr), 0);
    TempDir dir;
    for (const auto& spoil : std::vector<std::function<void(ZipCommand&)>>{
             [](ZipCommand& c) { c.Check = 6; }, [](ZipCommand& c) { c.Version = 175; }}) {
        ZipEngJob job(dir / "a.zip");
        job.Pattern("*");
        spoil(job.Command);
        EXPECT_EQ(job.Run(), zrsBadRecord);
        EXPECT_TRUE(job.Requests.empty());
    }
    EXPECT_FALSE(fs::exists(dir / "a.zip"));
}

// Only the three entry points leave the library.
TEST(ZipEngRecord, ExportsOnlyItsEntryPoints) {
    if (!HaveProgram("nm")) GTEST_SKIP() << "nm missing";
    std::string output;
    ASSERT_EQ(RunCommand("nm -D --defined-only " + Quoted(BinaryDir() / "libzipeng.so") + " | awk '$2 ~ /^[TW]$/ {print $3}' | sort", &output), 0);
    EXPECT_EQ(output, "GetZipEngPrivVersion\nGetZipEngVersion\nZipEngExec\n");
}

class ZipEngStopFixture : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "src");
        std::mt19937 random(7);
        for (int i = 0; i < 40; ++i) {
            std::string content(20000 + i * 1000, '\0');
            for (char& c : content) c = static_cast<char>('a' + random() % 4);
            WriteFile(dir_ / "src" / ("f" + std::to_string(i) + ".txt"), content);
        }
        // An entry the later jobs keep, beside those they replace.
        WriteFile(dir_ / "keep.dat", "kept");
        ZipEngJob first(Archive());
        first.RootDir(dir_ / "src").Pattern("f1*.txt").Pattern((dir_ / "keep.dat").string());
        ASSERT_EQ(first.Run(), 12);
        before_ = ReadFile(Archive());
    }
    fs::path Archive() const { return dir_ / "a.zip"; }
    void ExpectUntouched() {
        EXPECT_EQ(ReadFile(Archive()), before_);
        std::vector<std::string> left;
        for (const auto& item : fs::directory_iterator(dir_.Path())) left.push_back(item.path().filename().string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (std::vector<std::string>{"a.zip", "keep.dat", "src"}));
    }
    ZipEngJob AddAll(unsigned threads) {
        ZipEngJob job(Archive());
        job.RootDir(dir_ / "src").Pattern("*");
        job.Command.Threads = static_cast<std::int32_t>(threads);
        return job;
    }

    TempDir dir_;
    std::string before_;
};

// The caller stops the job at several points: a callback answering 1, or the abort call from a callback.
TEST_F(ZipEngStopFixture, StoppedJobLeavesTheArchiveAndNoTemporaryFile) {
    struct Case {
        const char* Name;
        std::int32_t Code;  // stop at the n-th request of this kind
        int Nth;
        bool AbortCall;
        unsigned Threads;
    };
    for (const Case& c : {Case{"AddName", zrAddName, 3, false, 1}, Case{"CopyStep", zrStepProgress, 1, false, 1},
                          Case{"NewItem", zrNewItem, 5, false, 2}, Case{"BytesDone", zrBytesDone, 20, true, 2},
                          Case{"CentralDirectory", zrNewStep, 2, false, 1}, Case{"Central", zrStepProgress, 30, true, 1}}) {
        SCOPED_TRACE(c.Name);
        ZipEngJob job = AddAll(c.Threads);
        int seen = 0;
        job.Answer = [&](ZipCallbackRecord& record) -> std::int32_t {
            if (record.ActionCode != c.Code || ++seen != c.Nth) return 0;
            if (!c.AbortCall) return 1;
            ZipEngExecEntry()(nullptr);
            return 0;
        };
        EXPECT_EQ(job.Run(), zrsCancelled);
        EXPECT_EQ(seen >= c.Nth, true);
        EXPECT_TRUE(job.Of(zrEndOfBatch).empty());
        ExpectUntouched();
    }
    // The abort of one job does not reach the next.
    EXPECT_EQ(AddAll(1).Run(), 40);
}

// A write failure half-way (the file size limit stops the temporary file) leaves the archive as it was.
TEST_F(ZipEngStopFixture, FailedWriteLeavesTheArchiveAndNoTemporaryFile) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = before_.size() + 50000;
        const struct rlimit size_limit = {limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &size_limit);
        ZipEngJob job = AddAll(2);
        const std::int32_t result = job.Run();
        const bool reported = !job.Of(zrMessage).empty() && job.Of(zrMessage)[0].Arg1 == zeWrite;
        ::_exit(result <= 0 && reported ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ExpectUntouched();
}

TEST_F(ZipEngStopFixture, DamagedArchiveIsReportedAndLeftAlone) {
    std::string damaged = before_;
    damaged[damaged.size() - 22 + 16] ^= 0x55;  // the directory's offset
    WriteFile(Archive(), damaged);
    before_ = damaged;
    ZipEngJob job = AddAll(1);
    EXPECT_LE(job.Run(), 0);
    ASSERT_FALSE(job.Of(zrMessage).empty());
    EXPECT_EQ(job.Of(zrMessage)[0].Arg1, zeFormat);
    ExpectUntouched();
}

// A file that vanished between listing and reading is reported and skipped; the rest are added.
TEST_F(ZipEngStopFixture, UnreadableFileIsSkipped) {
    for (const unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(threads);
        WriteFile(Archive(), before_);
        WriteFile(dir_ / "src" / "f0.txt", "again");
        ZipEngJob job = AddAll(threads);
        job.Answer = [&](ZipCallbackRecord& record) {
            if (record.ActionCode == zrFileCount) fs::remove(dir_ / "src" / "f0.txt");
            return 0;
        };
        EXPECT_EQ(job.Run(), 39);
        ASSERT_EQ(job.Of(zrMessage).size(), 1u);
        EXPECT_EQ(job.Of(zrMessage)[0].Arg1, zeRead);
        EXPECT_EQ(CentralNames(Archive()).count("f0.txt"), 0u);
        EXPECT_EQ(CentralNames(Archive()).size(), 40u);
    }
}

// Threads only change who compresses: the archive is the same (classic cipher headers aside, hence none).
TEST_F(ZipEngStopFixture, ParallelAndSingleThreadedArchivesAreIdentical) {
    const auto items = [](const ZipEngJob& job) {
        std::vector<std::string> names;
        for (const SentRequest& r : job.Of(zrNewItem)) names.push_back(r.Text);
        return names;
    };
    fs::remove(Archive());
    ZipEngJob single_job = AddAll(1);
    ASSERT_EQ(single_job.Run(), 40);
    const std::string single = ReadFile(Archive());
    for (const unsigned threads : {2u, 3u, 0u}) {
        fs::remove(Archive());
        ZipEngJob job = AddAll(threads);
        ASSERT_EQ(job.Run(), 40);
        EXPECT_EQ(ReadFile(Archive()), single) << threads;
        EXPECT_EQ(items(job), items(single_job));
    }
}

}  // namespace
}  // namespace kv::test
