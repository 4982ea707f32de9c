// Every ZIP-family sample of the corpus lists without harm; the trusted single-file ZIPs list the members
// the independent extractors found, with their sizes and CRC-32.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "support/corpus_family.h"
#include "zm_probe.h"

namespace kv {
namespace {

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// What differs between the listed file entries and the expected files ("" when nothing does).
std::string Differences(const TZipManager& zm, const test::ExpectedContents& expected) {
    std::map<std::string, const test::ExpectedMember*> files;
    std::set<std::string> links;
    for (const test::ExpectedMember& member : expected.members) {
        const std::string name = test::ExpectedNameAsListed(member.path);
        if (member.type == 'f') files[name] = &member;
        if (member.type == 'l') links.insert(name);
    }
    std::string differences;
    std::size_t listed = 0;
    for (const ZipDirEntry& entry : zm.DirEntries()) {
        const std::string name(entry.Name());
        if (links.count(name) != 0) continue;
        ++listed;
        const auto it = files.find(name);
        if (it == files.end()) {
            differences += "unexpected " + name + "\n";
            continue;
        }
        if (entry.UnpackedSize64 != static_cast<std::uint64_t>(it->second->size))
            differences += name + ": size " + std::to_string(entry.UnpackedSize64) + "\n";
        // AES entries (method 99) store no CRC-32 of their contents.
        if (entry.Method != 99 && entry.Crc32 != it->second->crc32) differences += name + ": crc differs\n";
    }
    if (listed != files.size())
        differences += std::to_string(listed) + " files listed, " + std::to_string(files.size()) + " expected\n";
    return differences;
}

TEST(ZipManagerCorpus, ListsEverySampleAndTheTrustedOnesMatch) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const std::set<std::string> family = {"zip", "jar", "zip-sfx", "zip-split-segment"};
    const std::map<std::string, std::string> known = {
        {"commons-compress/COMPRESS-227.zip", "two central headers name the same file; the extractors wrote it once"},
        {"libarchive/libarchive/test/test_read_format_zip_7075_utf8_paths.zip",
         "the fourth name is OEM 0x86 with a matching Unicode path field (\"\xC3\xA5\"); the extractors wrote \"xx\""},
        {"libarchive/libarchive/test/test_read_format_zip_filename_cp932.zip",
         "a Shift-JIS name made on Windows (NTFS host) reads in the OEM code page, CP437, unless the user "
         "chooses CP932; the extractors kept the bytes"},
        {"libarchive/libarchive/test/test_read_format_zip_uncompressed_size_off_by_4gib.zip",
         "the central directory claims 4 GiB more than the data holds; the listing shows the stored size"},
        {"macpacker/zip/\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0.zip",
         "names with \"../\" and a leading \"/\" are listed as stored; the extractors strip them"},
        {"zip2/zip64_magic_in_filename_2.zip", "the extractors rewrote a name of control and zero bytes"},
    };
    int listed = 0;
    int compared = 0;
    for (const test::CorpusFile& row : test::ReadCorpusManifest()) {
        if (family.count(row.format) == 0) continue;
        test::TZipManagerProbe probe;
        const int code = probe.Open(test::CorpusDir() / row.path);
        ++listed;
        EXPECT_EQ(probe.DirUpdates, 1) << row.path;
        EXPECT_EQ(probe.prompter.BusyLevel, 0) << row.path;
        if (code != 0 && probe.zm.ZipFileName().empty()) {
            EXPECT_TRUE(probe.zm.DirEntries().empty()) << row.path;
        }

        // Only whole single-file archives can be compared: volumes and segments need their set.
        const bool single_file = (row.format == "zip" || row.format == "jar") && !row.malformed() &&
                                 !Contains(row.variant, "multi-disk") && !Contains(row.variant, "no-EOCD");
        if (!single_file) continue;
        const auto expected = test::ReadExpectedContents(row.path);
        if (!expected || !expected->trusted()) continue;
        const std::string differences = code == 0 || code == 10203 || code == 10204
                                            ? Differences(probe.zm, *expected)
                                            : "error " + std::to_string(code) + " " + probe.zm.Message() + "\n";
        if (const auto it = known.find(row.path); it != known.end()) {
            EXPECT_NE(differences, "") << row.path << " is listed as known (" << it->second << ") but matches";
            continue;
        }
        EXPECT_EQ(differences, "") << row.path;
        ++compared;
    }
    EXPECT_GT(listed, 250);
    EXPECT_GT(compared, 100);
}

}  // namespace
}  // namespace kv
