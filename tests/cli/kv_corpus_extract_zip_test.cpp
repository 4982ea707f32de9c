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
    const test::TCorpusComparison result = test::CompareTrustedExtractions(
        [](const test::CorpusFile& row) { return test::IsZipFamily(test::DetectType(test::CorpusDir() / row.path)); },
        [](const fs::path& archive, const fs::path& destination, const test::ExpectedContents& expected) {
            return ErrorsOf(test::KvExtract(archive, destination, expected.password));
        },
        test::JudgeKnownZipDifference);
    EXPECT_EQ(result.failures, "");
    EXPECT_GT(result.compared, 100);
}

}  // namespace
}  // namespace kv
