// kv x against the corpus: every trusted ZIP and JAR extracts, through the ZIP manager and the extraction
// library (or the engine reader for JAR), to exactly the files the independent extractors wrote.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/kv_program.h"
#include "support/corpus_zip_tree.h"
#include "support/reader_run.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// kv's messages without its warnings (a stub before the archive, bytes after it): they change no file.
std::string ErrorsOf(const std::string& output) {
    std::string errors;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.find(": Warning - ") == std::string::npos) errors += line + "\n";
    return errors;
}

TEST(KvCorpusExtractZip, TrustedArchivesExtractAsTheExtractorsWrote) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    std::string failures;
    int compared = 0;
    for (const test::CorpusFile& row : test::ReadCorpusManifest()) {
        if (row.malformed()) continue;
        const fs::path archive = test::CorpusDir() / row.path;
        if (!test::IsZipFamily(test::DetectType(archive))) continue;
        const auto expected = test::ReadExpectedContents(row.path);
        if (!expected || !expected->trusted()) continue;
        test::TempDir destination;
        std::string reported;
        const std::string password = expected->password.empty() ? "" : " -p " + test::Quoted(expected->password);
        test::RunCommand(test::Kv() + " x " + test::Quoted(archive) + " -y -o " + test::Quoted(destination.Path()) +
                             password + " 2>&1 </dev/null",
                         &reported);
        const std::string differences =
            ErrorsOf(reported) + test::CompareTree(destination.Path(), *expected, expected->status == "ok-case");
        if (const test::KnownDifference* known = test::FindKnown(row.path)) {
            if (differences.find(known->shows) == std::string::npos || test::HasWrongContents(differences))
                failures += "== " + row.path + " is listed as known (" + known->reason + ") but differs otherwise\n" +
                            differences;
            continue;
        }
        if (!differences.empty()) failures += "== " + row.path + "\n" + differences;
        ++compared;
    }
    EXPECT_EQ(failures, "");
    EXPECT_GT(compared, 100);
}

}  // namespace
}  // namespace kv
