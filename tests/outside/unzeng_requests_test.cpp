// libunzeng.so's interface: its entry points and what they export, the record checks, the order of the
// requests of a small job, renaming through request 17, and stopping from the callback.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tests/outside/unzeng_job.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::UnzipJob;

TEST(UnzEngLibrary, ExportsOnlyItsEntryPointsAndChecksTheRecord) {
    const test::EngineLibrary library("libunzeng.so");
    EXPECT_EQ(library.Entry<ZipEngVersionFn>("GetUnzEngVersion")(), 176);
    EXPECT_EQ(library.Entry<ZipEngVersionFn>("GetUnzEngPrivVersion")(), 1760000);
    if (test::HaveProgram("nm")) {
        std::string symbols;
        ASSERT_EQ(test::RunCommand("nm -D --defined-only '" + (test::BinaryDir() / "libunzeng.so").string() +
                                   "' | awk '$2 ~ /[TDBRV]/ {print $3}' | sort",
                                   &symbols),
                  0);
        EXPECT_EQ(symbols, "GetUnzEngPrivVersion\nGetUnzEngVersion\nUnzEngExec\n");
    }
    const auto exec = library.Entry<UnzEngExecFn>("UnzEngExec");
    EXPECT_EQ(exec(nullptr), 0);  // nothing running to stop

    test::TempDir dir;
    test::WriteFile(dir / "not-a-zip.zip", "just text\n");
    const struct {
        const char* what;
        void (*spoil)(UnzipCommand&);
        std::int32_t result;
    } cases[] = {
        {"check value", [](UnzipCommand& c) { c.Check = 6; }, zrsBadRecord},
        {"version", [](UnzipCommand& c) { c.Version = 175; }, zrsBadRecord},
        {"pattern count", [](UnzipCommand& c) { c.SpecCount = -1; }, zrsBadRecord},
        {"specs missing", [](UnzipCommand& c) { c.SpecCount = 2; }, zrsBadRecord},
        {"archive missing", [](UnzipCommand& c) { c.ZipFileName = nullptr; }, 0},
    };
    for (const auto& c : cases) {
        UnzipJob job(dir / "not-a-zip.zip");
        c.spoil(job.Command());
        EXPECT_EQ(exec(&job.Command()), c.result) << c.what;
    }
    UnzipJob not_zip(dir / "not-a-zip.zip");
    EXPECT_EQ(not_zip.Test().Run(), 0);
    ASSERT_EQ(not_zip.Of(zrMessage).size(), 1u);
    EXPECT_EQ(not_zip.Of(zrMessage)[0].arg1, zeFormat);
}

class UnzEngRequests : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
        test::WriteFile(dir_ / "a.txt", "alpha");
        test::WriteFile(dir_ / "b.txt", "beta!!");
        ASSERT_EQ(test::RunCommand("cd '" + dir_.Path().string() + "' && zip -q0 ab.zip a.txt b.txt"), 0);
    }
    test::TempDir dir_;
};

// The counts first, then each entry with its size, its name to extract to and its bytes, then the end.
TEST_F(UnzEngRequests, ComeInOrderWithTheirSizes) {
    UnzipJob extract(dir_ / "ab.zip");
    extract.Into(dir_ / "out");
    EXPECT_EQ(extract.Run(), 2);
    EXPECT_EQ(extract.Codes(), (std::vector<std::int32_t>{zrFileCount, zrByteTotal, zrNewItem, zrExtractName, zrBytesDone,
                                                          zrNewItem, zrExtractName, zrBytesDone, zrEndOfBatch}));
    const auto& r = extract.requests;
    EXPECT_EQ(r[0].arg2, 2);
    EXPECT_EQ(r[1].arg1, 0);
    EXPECT_EQ(r[1].arg2, 11);
    EXPECT_EQ(r[1].size, 11);
    EXPECT_EQ(r[2].text, "a.txt");
    EXPECT_EQ(r[2].arg2, 5);
    EXPECT_EQ(r[2].size, 5);
    EXPECT_EQ(r[3].text, "a.txt");
    EXPECT_EQ(r[4].size, 5);
    EXPECT_EQ(r[5].text, "b.txt");
    EXPECT_EQ(r[7].arg2, 6);

    UnzipJob test_job(dir_ / "ab.zip");
    EXPECT_EQ(test_job.Test().Run(), 2);
    EXPECT_EQ(test_job.Codes(), (std::vector<std::int32_t>{zrFileCount, zrByteTotal, zrNewItem, zrBytesDone, zrNewItem,
                                                           zrBytesDone, zrEndOfBatch}));
}

TEST_F(UnzEngRequests, ExtractNameAnswersRenameTheFile) {
    UnzipJob job(dir_ / "ab.zip");
    job.Into(dir_ / "out");
    job.Answer = [](ZipCallbackRecord& record) {
        if (record.ActionCode == zrExtractName && std::string(record.Text) == "a.txt")
            test::AnswerText(record, "renamed/first.txt"), record.Arg1 = 1;
        return 0;
    };
    EXPECT_EQ(job.Run(), 2);
    EXPECT_EQ(test::ReadFile(dir_ / "out" / "renamed" / "first.txt"), "alpha");
    EXPECT_FALSE(fs::exists(dir_ / "out" / "a.txt"));
    EXPECT_EQ(test::ReadFile(dir_ / "out" / "b.txt"), "beta!!");
}

// A non-zero callback result stops the job at once: nothing more is asked or written.
TEST_F(UnzEngRequests, ANonZeroAnswerStopsTheJob) {
    UnzipJob job(dir_ / "ab.zip");
    job.Into(dir_ / "out");
    job.Answer = [](ZipCallbackRecord& record) { return record.ActionCode == zrBytesDone ? 1 : 0; };
    EXPECT_EQ(job.Run(), zrsCancelled);
    EXPECT_EQ(job.Codes(), (std::vector<std::int32_t>{zrFileCount, zrByteTotal, zrNewItem, zrExtractName, zrBytesDone}));
    EXPECT_FALSE(fs::exists(dir_ / "out" / "b.txt"));

    // The abort call (a null record) made while the job runs stops it too.
    UnzipJob aborted(dir_ / "ab.zip");
    aborted.Into(dir_ / "out2");
    aborted.Answer = [](ZipCallbackRecord& record) {
        if (record.ActionCode == zrNewItem) test::UnzEngExec()(nullptr);
        return 0;
    };
    EXPECT_EQ(aborted.Run(), zrsAborting);
    EXPECT_EQ(aborted.Codes(), (std::vector<std::int32_t>{zrFileCount, zrByteTotal, zrNewItem}));
}

}  // namespace
}  // namespace kv
