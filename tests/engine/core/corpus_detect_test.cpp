// Detection over the archive corpus: every archive whose format the corpus names must be detected as
// one of the types that format maps to; files marked malformed only have to be handled without harm.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/arc_detect.h"
#include "support/test_support.h"

namespace kv {
namespace {

const std::map<std::string, std::set<TArcType>>& AcceptedTypes() {
    static const std::map<std::string, std::set<TArcType>> map{
        {"zip", {atZip, atJar}},
        {"jar", {atJar}},
        {"zip-sfx", {atZipExe}},
        // The ZIP volume rule: on a fixed disk a split segment is a split volume.
        {"zip-split-segment", {atZipMV, atZipDS}},
        {"rar", {atRar}},
        {"rar-sfx", {atRarExe}},
        {"rar(prefixed)", {atRarExe}},
        {"lha", {atLha}},
        {"lha-sfx", {atLhaExe}},
        {"lha-sfx(atari-tos, unverified)", {atLhaExe}},
        {"tar", {atTar}},
        {"cab", {atCab}},
        {"cab(prefixed)", {atCabExe}},
        {"arj", {atArj}},
        {"arj-sfx", {atArjExe}},
        {"ace", {atAce}},
        {"arc", {atArc}},
        {"zoo", {atZoo}},
        // Unix compress (1F 9D) shares the GZIP row of the signature table.
        {"gzip", {atGZip}},
        {"gzip+tar", {atGZip}},
        {"compress-Z", {atGZip}},
        {"compress-Z+tar", {atGZip}},
        {"bzip2", {atBz2}},
        {"bzip2+tar", {atBz2}},
        {"uue", {atUUE}},
        {"xxe", {atUUE}},
        {"mime-base64", {atB64}},
        {"base64(begin-base64, uuencode -m)", {atB64}},
    };
    return map;
}

// Files whose detection cannot give the corpus format under the documented rules, and why.
const std::map<std::string, std::string>& KnownMismatches() {
    const std::string middle_segment =
        "a middle segment of a split set begins with a plain local header; "
        "nothing in its bytes marks it as a volume, so it reads as atZip";
    const std::string pmarc =
        "PMarc archives name their methods \"-pm?-\"; the table and the scan know "
        "LHA headers by \"-l\" / \"-lh?-\" only";
    static const std::map<std::string, std::string> map{
        {"commons-compress/COMPRESS-356.tar", "its header checksum is wrong, and the TAR rule is the checksum"},
        {"libarchive/libarchive/test/test_read_format_tar_empty_with_gnulabel.tar",
         "a volume label followed by an empty archive: the block checked after the label is all zeros"},
        {"commons-compress/COMPRESS-477/split_zip_created_by_winrar/split_zip_created_by_winrar.z02", middle_segment},
        {"commons-compress/COMPRESS-477/split_zip_created_by_zip/split_zip_created_by_zip.z02", middle_segment},
        {"commons-compress/COMPRESS-477/split_zip_created_by_zip/split_zip_created_by_zip_zip64.z02", middle_segment},
        {"generated-debian/b64-sharutils-begin-base64-random.bin.txt",
         "\"begin-base64\" lines are not among the text rule's markers"},
        {"libarchive/uue/test_read_filter_uudecode_base64_raw.uu",
         "\"begin-base64\" lines are not among the text rule's markers"},
        {"generated-debian/zip-sfx-infozip-unzipsfx.bin",
         "a Linux (ELF) stub is no \"MZ\" executable: the end-record search of a plain file gives atZip"},
        {"lhasa/archives/generated/pm1/pm1.pma", pmarc},
        {"lhasa/archives/pmarc124/mtcd.pma", pmarc},
        {"lhasa/archives/pmarc124/pm0.pma", pmarc},
        {"lhasa/archives/pmarc124/pm1.pma", pmarc},
        {"lhasa/archives/pmarc124/pm1_long.pma", pmarc},
        {"lhasa/archives/pmarc2/comment.pma", pmarc},
        {"lhasa/archives/pmarc2/long.pma", pmarc},
        {"lhasa/archives/pmarc2/pm0.pma", pmarc},
        {"lhasa/archives/pmarc2/pm2.pma", pmarc},
        {"lhasa/archives/pmarc2/sfx.com", pmarc},
        {"lhasa/archives/larc333/sfx.com",
         "a LArc self-extractor (no \"MZ\") whose methods are \"-lz?-\", which the scan does not know"},
        {"lhasa/archives/lhmelt_16536/sfx_winsfx_213.exe",
         "the archive (at 14972) lies before 17000, where the scan of an executable starts"},
        {"lhasa/archives/lhmelt_16536/sfx_winsfxm_250.exe",
         "the archive (at 16748) lies before 17000, where the scan of an executable starts"},
        {"rarfile/rar3-seektest.sfx", "the archive (at 728000) lies beyond the 11 blocks the scan reads"},
        {"libmspack/cabextract/test/cabs/search.cab",
         "a cabinet behind other bytes is deliberately not taken by the scan from offset 0"},
        {"libmspack/libmspack/test/test_files/cabd/search_basic.cab",
         "a cabinet behind other bytes is deliberately not taken by the scan from offset 0"},
        {"libarchive/libarchive/test/test_read_format_raw.data.Z", "files of 19 bytes or less are never archives"},
        {"patool/t.txt.Z", "files of 19 bytes or less are never archives"},
    };
    return map;
}

// Rows whose variant column misleads: a ZIP64 locator signature inside an entry name made the
// manifest's parser read a disk number; the archives are single-disk ZIPs.
bool NameFooledManifest(const std::string& file) { return file.find("zip64_magic_in_filename") != std::string::npos; }

struct Row {
    std::string File;
    std::string Format;
    std::string Variant;
};

std::vector<Row> ReadManifest(const std::filesystem::path& path) {
    std::vector<Row> rows;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        std::vector<std::string> columns;
        std::stringstream fields(line);
        for (std::string column; std::getline(fields, column, '\t');) columns.push_back(column);
        if (columns.size() >= 3) rows.push_back({columns[0], columns[1], columns[2]});
    }
    return rows;
}

TEST(CorpusDetect, EveryArchiveGetsItsType) {
    const auto corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "corpus absent";
    const auto rows = ReadManifest(corpus / "MANIFEST.tsv");
    ASSERT_FALSE(rows.empty());

    std::string mismatches;
    int checked = 0;
    for (const Row& row : rows) {
        const auto accepted = AcceptedTypes().find(row.Format);
        if (accepted == AcceptedTypes().end()) continue;
        // The last volume of a split set carries a disk number: the ZIP volume rule decides.
        const bool last_volume = row.Variant.find("multi-disk") != std::string::npos && !NameFooledManifest(row.File);
        const std::set<TArcType>& types = last_volume ? AcceptedTypes().at("zip-split-segment") : accepted->second;
        const std::string path = (corpus / row.File).string();
        TFileStream32 stream(path, TFileOpenMode::fmOpenRead);
        ASSERT_TRUE(stream.IsValid()) << path;
        TArcDetection state;
        TDetectionContext context;
        context.ArchiveFile = path;
        context.ReportError = [](int) {};
        const TArcType type = DetectArcType(stream, state, context);

        const bool malformed = row.Variant.find("MALFORMED") != std::string::npos;
        if (malformed || KnownMismatches().count(row.File) != 0) continue;
        ++checked;
        if (types.count(type) == 0) {
            mismatches += row.File + " (" + row.Format + "): " + std::string(ArcTypeValueName(type)) + "\n";
        }
    }
    EXPECT_GT(checked, 0);
    EXPECT_TRUE(mismatches.empty()) << mismatches;
}

}  // namespace
}  // namespace kv
