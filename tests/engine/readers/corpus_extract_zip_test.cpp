// The ZIP reader against the corpus: every trusted ZIP, JAR and self-extractor extracts to the bytes the
// independent extractors wrote (size, CRC-32 and SHA-256 of each file), and every ZIP-family file, the
// crafted and broken ones included, extracts without a crash and without writing outside its destination.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "engine/core/text_case.h"
#include "platform/output_tree.h"
#include "platform/paths.h"
#include "support/corpus_family.h"
#include "support/file_digest.h"
#include "support/reader_run.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

bool IsZipFamily(TArcType type) {
    return type == atZip || type == atZipExe || type == atZipMV || type == atJar || type == atJarExe;
}

// What differs between the extracted tree and the expected members ("" when nothing does). Names stored
// without the UTF-8 flag are OEM names, written as the lister shows them; the extractors' \xNN bytes are
// read the same way.
std::string CompareTree(const fs::path& destination, const test::ExpectedContents& expected, bool ignore_case) {
    const auto key = [&](std::string name) { return ignore_case ? UpperCaseText(name) : name; };
    std::map<std::string, const test::ExpectedMember*> wanted;
    for (const test::ExpectedMember& member : expected.members)
        wanted[key(test::ExpectedNameAsListed(member.path))] = &member;
    std::string differences;
    std::set<std::string> seen;
    for (auto it = fs::recursive_directory_iterator(destination); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().lexically_relative(destination).generic_string();
        const auto found = wanted.find(key(name));
        if (found == wanted.end()) {
            // Folders of members the archive stores without a folder entry are made on the way.
            if (!it->is_directory() || it->is_symlink()) differences += "unexpected " + name + "\n";
            continue;
        }
        seen.insert(found->first);
        const test::ExpectedMember& member = *found->second;
        if (member.type == 'l') {
            if (!it->is_symlink() || fs::read_symlink(it->path()).string() != member.target)
                differences += name + ": not a link to " + member.target + "\n";
        } else if (it->is_symlink()) {
            differences += name + ": a link\n";
        } else if (member.type == 'd') {
            if (!it->is_directory()) differences += name + ": not a folder\n";
        } else if (!it->is_regular_file()) {
            differences += name + ": not a file\n";
        } else {
            const test::FileDigest digest = test::DigestOf(it->path());
            if (digest.size != member.size) differences += name + ": size " + std::to_string(digest.size) + "\n";
            else if (digest.crc32 != member.crc32) differences += name + ": crc differs\n";
            else if (digest.sha256 != member.sha256) differences += name + ": sha-256 differs\n";
        }
    }
    for (const auto& [name, member] : wanted)
        if (seen.count(name) == 0) differences += "missing " + member->path + "\n";
    return differences;
}

// Archives that cannot extract as the extractors wrote them, grouped by the reason. `shows` is what their
// differences must contain, so that each stays listed for its own reason only.
struct KnownDifference {
    const char* reason;
    const char* shows;
    std::vector<std::string> archives;
};

const std::vector<KnownDifference>& KnownDifferences() {
    static const std::vector<KnownDifference> known = {
        {"LZMA (14), PPMd (98), XZ (95) and Zstandard (93) are methods the engine does not decode, also behind AES",
         "Unsupported compression method",
         {"commons-compress/COMPRESS-692/compress-692.zip",
          "libarchive/libarchive/test/test_read_format_zip_winzip_aes256_large_ppmd.zip",
          "libarchive/libarchive/test/test_read_format_zip_winzip_aes256_large_xz.zip",
          "sharpcompress/Archives/Zip.lzma.WinzipAES.zip",
          "commons-compress/org/apache/commons/compress/zip/test-method-xz.zip",
          "libarchive/libarchive/test/test_read_format_zip_ppmd8.zipx",
          "libarchive/libarchive/test/test_read_format_zip_ppmd8_multi.zipx",
          "libarchive/libarchive/test/test_read_format_zip_xz_multi.zipx", "sharpcompress/Archives/WinZip26_LZMA.zipx",
          "sharpcompress/Archives/Zip.lzma.dd.zip", "sharpcompress/Archives/Zip.lzma.empty.zip",
          "sharpcompress/Archives/Zip.lzma.noEmptyDirs.zip", "sharpcompress/Archives/Zip.lzma.zip",
          "sharpcompress/Archives/Zip.ppmd.dd.zip", "sharpcompress/Archives/Zip.ppmd.noEmptyDirs.zip",
          "sharpcompress/Archives/Zip.ppmd.zip", "sharpcompress/Archives/Zip.zipx", "zip2/lzma.zip", "zip2/ppmd.zip",
          "zip2/xz.zip"}},
        {"strong encryption (flag bit 6 with extra field 0x0017) is a cipher the engine does not offer",
         "Unsupported password encryption",
         {"libarchive/libarchive/test/test_read_format_zip_encryption_data.zip",
          "libarchive/libarchive/test/test_read_format_zip_encryption_partially.zip"}},
        {"names without the UTF-8 flag or a Unicode path field are OEM (CP437) names, also when their bytes "
         "happen to be UTF-8 or Shift-JIS; the extractors took them as UTF-8 or kept the bytes",
         "unexpected ",
         {"commons-compress/COMPRESS-214_unix_symlinks.zip",
          "generated-debian/zip-infozip-deflate-dirs-symlink-rawutf8name.zip",
          "libarchive/libarchive/test/test_read_format_zip_filename_cp932.zip",
          "macpacker/zip/utf_\xE4\xBD\xA0\xE5\xA5\xBD.zip"}},
        {"the fourth name is OEM 0x86 with a matching Unicode path field (\"\xC3\xA5\"); the extractors wrote \"xx\"",
         "unexpected File 4",
         {"libarchive/libarchive/test/test_read_format_zip_7075_utf8_paths.zip"}},
        {"a symbolic link whose target leads out of the destination is refused and reported; unzip made it",
         "Invalid file name (../outside)",
         {"libarchive/unzip/test/test_symlink_1.zip"}},
        {"a zero byte ends a name, which leaves nothing of one starting with it; the extractors wrote \"_\" "
         "for that byte",
         "Invalid file name",
         {"zip2/zip64_magic_in_filename_3.zip"}},
        {"the first of six byte-split parts without an end record: its last entry runs on in the next part",
         "Bad file header",
         {"sharpcompress/Archives/Zip.deflate.split.001"}},
        {"a 7-Zip self-extractor: the engine reads no 7z data, and detection finds the ZIP that the 7z data holds "
         "as a stored member (folder/Archive.zip), whose end lies beyond this file",
         "Bad file header",
         {"macpacker/defaultArchives/defaultArchive.exe"}},
    };
    return known;
}

const KnownDifference* FindKnown(const std::string& archive) {
    for (const KnownDifference& known : KnownDifferences())
        if (std::find(known.archives.begin(), known.archives.end(), archive) != known.archives.end()) return &known;
    return nullptr;
}

// A difference no reason excuses: a member written with the wrong bytes.
bool HasWrongContents(const std::string& differences) {
    for (const char* sign : {": size ", ": crc differs", ": sha-256 differs", ": fails its check", ": Decompression error",
                             ": not a file", ": a link", ": not a link"}) {
        if (differences.find(sign) != std::string::npos) return true;
    }
    return false;
}

TEST(CorpusExtractZip, TrustedArchivesExtractAsTheExtractorsWrote) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    std::string failures;
    int compared = 0;
    for (const test::CorpusFile& row : test::ReadCorpusManifest()) {
        if (row.malformed()) continue;
        const fs::path archive = test::CorpusDir() / row.path;
        const TArcType type = test::DetectType(archive);
        if (!IsZipFamily(type)) continue;
        const auto expected = test::ReadExpectedContents(row.path);
        if (!expected || !expected->trusted()) continue;
        test::TempDir destination;
        const std::string reported = test::ExtractWithReader(archive, type, destination.Path(), expected->password);
        const std::string differences =
            reported + CompareTree(destination.Path(), *expected, expected->status == "ok-case");
        if (const KnownDifference* known = FindKnown(row.path)) {
            if (differences.find(known->shows) == std::string::npos || HasWrongContents(differences))
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

bool IsBelow(const fs::path& path, const fs::path& destination) {
    const auto [end, rest] = std::mismatch(destination.begin(), destination.end(), path.begin(), path.end());
    return end == destination.end() && rest != path.end();
}

// Everything below `root` that lies outside `destination` (the folders leading to it aside), and every
// link whose target, read as text from its folder, leads out of the destination.
std::string ForeignItems(const fs::path& root, const fs::path& destination) {
    std::string items;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& path = it->path();
        const bool on_the_way = std::mismatch(path.begin(), path.end(), destination.begin(), destination.end()).first == path.end();
        if (!IsBelow(path, destination) && !on_the_way) items += path.string() + "\n";
        if (!it->is_symlink()) continue;
        const fs::path target = fs::read_symlink(path);
        const fs::path leads_to = (path.parent_path() / target).lexically_normal();
        if (target.is_absolute() || (leads_to != destination && !IsBelow(leads_to, destination)))
            items += path.string() + " -> " + target.string() + "\n";
    }
    return items;
}

// Hostile names ("..", absolute, through links), damaged headers and data: nothing may land outside the
// destination, which lies three levels down so that names climbing out would show in the sandbox.
TEST(CorpusExtractZip, EveryZipFamilyFileStaysInsideItsDestination) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    std::string failures;
    int extracted = 0;
    for (const test::CorpusFile& row : test::ReadCorpusManifest()) {
        const fs::path archive = test::CorpusDir() / row.path;
        const TArcType type = test::DetectType(archive);
        if (!IsZipFamily(type)) continue;
        const auto expected = test::ReadExpectedContents(row.path);
        test::TempDir sandbox;
        const fs::path destination = sandbox / "a/b/out";
        fs::create_directories(destination);
        platform::TOutputTree tree;
        tree.SetBase(platform::IncludeTrailingDelimiter(destination.string()));
        std::string outside;
        test::ExtractWithReader(archive, type, destination, expected ? expected->password : "", [&](const std::string& path) {
            if (tree.Inspect(path) == platform::TOutputPathState::opsRefused) outside += "announced " + path + "\n";
        });
        outside += ForeignItems(sandbox.Path(), destination);
        if (!outside.empty()) failures += "== " + row.path + "\n" + outside;
        ++extracted;
    }
    EXPECT_EQ(failures, "");
    EXPECT_GT(extracted, 250);
}

}  // namespace
}  // namespace kv
