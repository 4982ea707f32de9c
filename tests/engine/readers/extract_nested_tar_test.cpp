// Compressed TAR archives (.tgz, .tar.bz2, .tar.Z), known by their content: the TAR file is extracted, or,
// when the owner asks for them through OnNestedTarFile, its contents as they are decoded, with no TAR
// file on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/error_codes.h"
#include "engine/readers/format_readers.h"
#include "support/single_file_run.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

bool HaveTarReader() { return CreateReader(atTar) != nullptr; }

// A folder with files in it, packed by GNU tar and compressed by `filter` into `archive`.
fs::path MakeCompressedTar(const test::TempDir& dir, const std::string& archive, const std::string& filter) {
    fs::create_directories(dir / "src" / "docs" / "sub");
    test::WriteFile(dir / "src" / "docs" / "a.txt", "alpha\n");
    test::WriteFile(dir / "src" / "docs" / "sub" / "b.txt", "beta\n");
    const std::string command = "tar -C " + (dir / "src").string() + " -cf - docs | " + filter + " > " +
                                (dir / archive).string();
    EXPECT_EQ(test::RunCommand(command), 0);
    return dir / archive;
}

// Each is named after the archive (a pipe gives gzip no name to store): "backup.tar".
struct Format {
    const char* archive;
    const char* filter;
};
const Format kFormats[] = {
    {"backup.tgz", "gzip"}, {"backup.tar.gz", "gzip"}, {"backup.tbz2", "bzip2"},
    {"backup.tar.bz2", "bzip2"}, {"backup.tar.Z", "compress"}, {"backup.txz", "xz"}, {"backup.tar.xz", "xz"},
    {"backup.tzst", "zstd"}, {"backup.tar.zst", "zstd"}, {"backup.taz", "gzip"}, {"backup.tbz", "bzip2"},
};
const std::string kTarName = "backup.tar";

bool HaveTools(const Format& format) {
    return test::HaveProgram("tar") && test::HaveProgram(format.filter);
}

// Without a handler the TAR file is extracted, the missing event is reported and nothing is unpacked;
// a handler that says no gets the same without the report.
TEST(ExtractNestedTar, TarFileStaysWithoutConsent) {
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.archive);
        if (!HaveTools(format)) continue;
        test::TempDir dir;
        const fs::path archive = MakeCompressedTar(dir, format.archive, format.filter);
        const std::string& tar = kTarName;
        for (const bool handler : {false, true}) {
            const fs::path out = dir / (handler ? "refused" : "missing");
            test::SingleFileOptions options;
            if (handler) options.untar = false;
            const test::SingleFileResult run = test::RunSingleFile(archive, out, options);
            EXPECT_EQ(run.errors, handler ? std::vector<int>{} : std::vector<int>{ecode::kRequiredEventNotAssigned});
            if (!handler) {
                EXPECT_NE(run.reported.find("OnNestedTarFile"), std::string::npos) << run.reported;
            }
            EXPECT_TRUE(fs::is_regular_file(out / tar));
            EXPECT_FALSE(fs::exists(out / "docs"));
            EXPECT_EQ(run.changed, std::vector<std::string>{});
        }
    }
}

// With consent the TAR's files are extracted with their folders, and no TAR file is written.
TEST(ExtractNestedTar, ContentsExtractWithTheirFolders) {
    if (!HaveTarReader()) GTEST_SKIP() << "no TAR reader";
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.archive);
        if (!HaveTools(format)) continue;
        test::TempDir dir;
        const fs::path archive = MakeCompressedTar(dir, format.archive, format.filter);
        const std::string& tar = kTarName;
        const fs::path out = dir / "out";
        test::SingleFileOptions options;
        options.untar = true;
        const test::SingleFileResult run = test::RunSingleFile(archive, out, options);
        EXPECT_EQ(run.reported, "");
        EXPECT_EQ(run.asked, std::vector<std::string>{(out / tar).string()});
        EXPECT_EQ(test::ReadFile(out / "docs" / "a.txt"), "alpha\n");
        EXPECT_EQ(test::ReadFile(out / "docs" / "sub" / "b.txt"), "beta\n");
        EXPECT_FALSE(fs::exists(out / tar));
    }
}

// Testing tests the TAR's files and writes nothing, in the temporary folder neither.
TEST(ExtractNestedTar, TestingWritesNothing) {
    if (!HaveTarReader()) GTEST_SKIP() << "no TAR reader";
    if (!HaveTools(kFormats[0])) GTEST_SKIP() << "tar or gzip is not installed";
    test::TempDir dir;
    const fs::path archive = MakeCompressedTar(dir, kFormats[0].archive, kFormats[0].filter);
    fs::create_directories(dir / "temp");
    test::SingleFileOptions options;
    options.testing = true;
    options.untar = true;
    options.temp_dir = (dir / "temp").string();
    const test::SingleFileResult run = test::RunSingleFile(archive, dir / "out", options);
    EXPECT_EQ(run.reported, "");
    for (const char* file : {"a.txt", "b.txt"})
        EXPECT_NE(std::find(run.passed.begin(), run.passed.end(), file), run.passed.end()) << file;
    EXPECT_FALSE(fs::exists(dir / "out"));
    EXPECT_TRUE(fs::is_empty(dir / "temp"));
}

// The owner cancelling this reader at the overwrite question stops the TAR's extraction there.
TEST(ExtractNestedTar, CancellingAtTheOverwriteQuestionStopsTheTar) {
    if (!HaveTarReader()) GTEST_SKIP() << "no TAR reader";
    if (!HaveTools(kFormats[0])) GTEST_SKIP() << "tar or gzip is not installed";
    test::TempDir dir;
    MakeCompressedTar(dir, "unused.tgz", "gzip");
    ASSERT_EQ(test::RunCommand("tar -C '" + (dir / "src").string() + "' -cf - docs/a.txt docs/sub/b.txt | gzip > '" +
                               (dir / "ordered.tgz").string() + "'"),
              0);
    fs::create_directories(dir / "out/docs");
    test::WriteFile(dir / "out/docs/a.txt", "old\n");
    std::unique_ptr<TUnBase> base = CreateReader(atGZip);
    auto* reader = dynamic_cast<TUnSingleFile*>(base.get());
    ASSERT_NE(reader, nullptr);
    reader->OnNestedTarFile = [](TObject*, const std::string&, bool& untar) { untar = true; };
    reader->OnFileExists = [&](TObject*, const std::string&, std::string&, TOverwriteMode& mode) {
        mode = omSkip;
        reader->SetCancel(true);
    };
    reader->SetArchiveFile((dir / "ordered.tgz").string());
    reader->FileSpec = {"*.*"};
    reader->UseStoredDirs = reader->CreateStoredDirs = true;
    reader->ConfirmOverwrites = true;
    reader->SetExtractDir((dir / "out").string());
    reader->Extract();
    EXPECT_EQ(test::ReadFile(dir / "out/docs/a.txt"), "old\n");
    EXPECT_FALSE(fs::exists(dir / "out/docs/sub/b.txt"));
}

// The TAR is found by its content: a name stored in the GZIP header that does not end in ".tar" (a part of
// a split TAR) still gives the TAR's files, and a file named ".tar" that is none is extracted as it is.
TEST(ExtractNestedTar, TheContentTellsATar) {
    if (!HaveTarReader()) GTEST_SKIP() << "no TAR reader";
    if (!HaveTools(kFormats[0])) GTEST_SKIP() << "tar or gzip is not installed";
    test::TempDir dir;
    const fs::path tar = MakeCompressedTar(dir, "plain.tar", "cat");
    fs::rename(tar, dir / "test-split.taraa");
    test::WriteFile(dir / "not-one.tar", "plain text, not a TAR\n");
    ASSERT_EQ(test::RunCommand("cd '" + dir.Path().string() + "' && gzip -N test-split.taraa not-one.tar && mv test-split.taraa.gz split.tgz"), 0);
    test::SingleFileOptions options;
    options.untar = true;
    const test::SingleFileResult split = test::RunSingleFile(dir / "split.tgz", dir / "split", options);
    EXPECT_EQ(split.reported, "");
    EXPECT_EQ(split.asked.size(), 1u);
    EXPECT_EQ(test::ReadFile(dir / "split/docs/a.txt"), "alpha\n");
    const test::SingleFileResult plain = test::RunSingleFile(dir / "not-one.tar.gz", dir / "plain", options);
    EXPECT_EQ(plain.reported, "");
    EXPECT_EQ(plain.asked, std::vector<std::string>{});
    EXPECT_EQ(test::ReadFile(dir / "plain/not-one.tar"), "plain text, not a TAR\n");
}

// A compressed TAR cut short: every member before the cut is extracted, the cut one fails, and the
// decoding error names the archive; no TAR file is left anywhere.
TEST(ExtractNestedTar, ACutArchiveGivesWhatCameBeforeTheCut) {
    if (!HaveTarReader()) GTEST_SKIP() << "no TAR reader";
    for (const Format& format : {kFormats[0], kFormats[2], kFormats[5], kFormats[8]}) {
        SCOPED_TRACE(format.archive);
        if (!HaveTools(format)) continue;
        test::TempDir dir;
        fs::create_directories(dir / "src");
        test::WriteFile(dir / "src/first.txt", "first\n");
        std::string noise(4 * 1024 * 1024, '\0');
        std::uint32_t seed = 1;
        for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        test::WriteFile(dir / "src/second.bin", noise);
        const fs::path archive = dir / format.archive;
        ASSERT_EQ(test::RunCommand("tar -C '" + (dir / "src").string() + "' -cf - first.txt second.bin | " +
                                   format.filter + " > '" + archive.string() + "'"),
                  0);
        fs::resize_file(archive, fs::file_size(archive) / 2);
        fs::create_directories(dir / "temp");
        for (const bool testing : {false, true}) {
            test::SingleFileOptions options;
            options.untar = true;
            options.testing = testing;
            options.temp_dir = (dir / "temp").string();
            const test::SingleFileResult run = test::RunSingleFile(archive, dir / "out", options);
            EXPECT_EQ(run.passed, std::vector<std::string>{"first.txt"});
            EXPECT_EQ(run.reported, std::string("second.bin: Error reading file or unexpected end of file\n"
                                                "second.bin: fails its check\n") +
                                        format.archive + ": Decompression error\n");
        }
        EXPECT_EQ(test::ReadFile(dir / "out/first.txt"), "first\n");
        EXPECT_TRUE(fs::is_empty(dir / "temp"));
        EXPECT_FALSE(fs::exists(dir / "out/backup.tar"));
    }
}

}  // namespace
}  // namespace kv
