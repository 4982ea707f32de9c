// Compressed TAR archives (.tgz, .tar.bz2, .tar.Z): the TAR file is extracted, and its contents too when
// the owner asks for them through OnNestedTarFile.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/error_codes.h"
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
    {"backup.tar.bz2", "bzip2"}, {"backup.tar.Z", "compress"},
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

// With consent the TAR's files are extracted with their folders, the owner hears that the TAR is now the
// archive in view, and the intermediate TAR file goes.
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
        EXPECT_EQ(run.changed, std::vector<std::string>{(out / tar).string()});
        EXPECT_FALSE(fs::exists(out / tar));
    }
}

// Testing writes the TAR file to the temporary folder, tests its files and removes it again.
TEST(ExtractNestedTar, TestingGoesThroughTheTemporaryFolder) {
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
    for (const char* file : {"backup.tar", "a.txt", "b.txt"})
        EXPECT_NE(std::find(run.passed.begin(), run.passed.end(), file), run.passed.end()) << file;
    EXPECT_FALSE(fs::exists(dir / "out"));
    EXPECT_TRUE(fs::is_empty(dir / "temp"));
}

}  // namespace
}  // namespace kv
