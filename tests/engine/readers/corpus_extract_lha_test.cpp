// The LHA reader against the corpus: every trusted LHA/LZH archive extracts to the bytes the independent
// extractors wrote (size, CRC-32 and SHA-256 of each file), and every LHA file, cut short and with changed
// bytes too, extracts without a crash and without writing outside its destination.
#include <gtest/gtest.h>

#include <map>

#include "support/corpus_tree.h"
#include "support/damaged_copies.h"
#include "support/reader_run.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPmarc = "PMarc archives are not typed as LHA, and -pm1-/-pm2- are not decoded";
constexpr const char* kOutsideLink = "a symbolic link that leads out of the destination is refused";

// The archives whose extraction differs from the extractors' under the reader's rules, with the reason.
std::map<std::string, std::string> KnownLhaDifferences() {
    return {
        {"lhasa/archives/lha_unix114i/h1_symlink3.lzh", kOutsideLink},
        {"lhasa/archives/lha_unix114i/h2_symlink3.lzh", kOutsideLink},
        {"lhasa/archives/regression/symlink3.lzh", kOutsideLink},
        {"lhasa/archives/regression/badterm.lzh", "the name holds a line feed, which the expectations write as \\n"},
        {"lhasa/archives/generated/lzs/long.lzs", "the only extractor wrote the MS-DOS name in lower case"},
        {"lhasa/archives/generated/lzs/lzs.lzs", "the only extractor wrote the MS-DOS name in lower case"},
        {"lhasa/archives/unlha32/lh2.lzh", "-lh2- has no public description"},
        {"lhasa/archives/unlha32/h2_lhx.lzh", "-lhx- has no public description"},
        {"lhasa/archives/unlha32/lhx_long.lzh", "-lhx- has no public description"},
        {"libarchive/libarchive/test/test_read_format_lha_filename_utf16.lzh",
         "the names come from the UTF-16 name headers, which the extractors ignored"},
        {"libarchive/libarchive/test/test_read_format_lha_oversize_header.lzh",
         "the damaged header behind the entries is reported"},
        {"libarchive/libarchive/test/test_read_format_lha_symlink_missing_target.lzh",
         "the damaged header behind the entry is reported"},
        {"lhasa/archives/pmarc124/mtcd.pma", kPmarc},
        {"lhasa/archives/pmarc124/pm0.pma", kPmarc},
        {"lhasa/archives/pmarc124/pm1.pma", kPmarc},
        {"lhasa/archives/pmarc124/pm1_long.pma", kPmarc},
        {"lhasa/archives/pmarc2/comment.pma", kPmarc},
        {"lhasa/archives/pmarc2/long.pma", kPmarc},
        {"lhasa/archives/pmarc2/pm0.pma", kPmarc},
        {"lhasa/archives/pmarc2/pm2.pma", kPmarc},
        {"lhasa/archives/pmarc2/sfx.com", kPmarc},
        {"lhasa/archives/generated/pm1/pm1.pma", kPmarc},
    };
}

TEST(CorpusExtractLha, TrustedArchivesExtractAsTheExtractorsWrote) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const test::TCorpusComparison result = test::CompareTrustedExtractions(
        [](const test::CorpusFile& row) { return row.format == "lha"; },
        [](const fs::path& archive, const fs::path& destination, const test::ExpectedContents&) {
            return test::ExtractWithReader(archive, test::DetectType(archive), destination);
        },
        test::ListedWithReasons(KnownLhaDifferences()));
    EXPECT_EQ(result.failures, "");
    EXPECT_GE(result.compared, 210);
}

// Crafted names and links, damaged headers and data: nothing may land outside the destination, which lies
// three levels down so that names climbing out would show in the sandbox. Each file is also tried cut at
// several places and with bytes changed throughout.
TEST(CorpusExtractLha, EveryLhaFileStaysInsideItsDestination) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    std::string failures;
    int extracted = 0;
    for (const test::CorpusFile& row : test::ReadCorpusManifest()) {
        const fs::path archive = test::CorpusDir() / row.path;
        const TArcType type = test::DetectType(archive);
        if (row.format != "lha" && type != atLha && type != atLzh) continue;
        for (const auto& [name, copy] : test::DamagedCopies(test::ReadFile(archive))) {
            const std::string outside = test::ExtractedOutside(copy, atLha);
            if (!outside.empty()) failures += "== " + row.path + " (" + name + ")\n" + outside;
        }
        ++extracted;
    }
    EXPECT_EQ(failures, "");
    EXPECT_GT(extracted, 200);
}

}  // namespace
}  // namespace kv
