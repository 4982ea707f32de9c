// The ZIP walk over the corpus: names, sizes and CRC-32 of every trusted ZIP, JAR and self-extractor.
#include <gtest/gtest.h>

#include "support/corpus_family.h"

namespace kv {
namespace {

TEST(CorpusListZip, ListsTheExpectedMembers) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const std::string rewritten_names = "the extractors rewrote names the archive stores otherwise";
    const std::map<std::string, std::string> known = {
        {"libarchive/libarchive/test/test_read_format_zip_filename_cp932.zip",
         "a Shift-JIS name made on Windows (NTFS host) reads in the OEM code page, CP437, unless the user "
         "chooses CP932; the extractors kept the bytes"},
        {"libarchive/libarchive/test/test_read_format_zip_7075_utf8_paths.zip",
         "the fourth name is OEM 0x86 with a matching Unicode path field (\"\xC3\xA5\"); the extractors wrote \"xx\""},
        {"libarchive/libarchive/test/test_read_format_zip_uncompressed_size_off_by_4gib.zip",
         "the central directory claims 4 GiB more than the data holds; the listing shows the stored size"},
        {"macpacker/zip/\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0.zip",
         "names with \"../\" and a leading \"/\" are listed as stored; the extractors strip them"},
        {"zip2/zip64_magic_in_filename_2.zip", rewritten_names + " (control and zero bytes)"},
        {"zip2/zip64_magic_in_filename_3.zip", rewritten_names + " (control and zero bytes)"},
        {"zip2/zip64_magic_in_filename_4.zip", rewritten_names + " (control and zero bytes)"},
        {"sharpcompress/Archives/Zip.deflate.split.001",
         "the first of six byte-split parts without an end record: only its own local headers can be listed"},
    };
    const int compared = test::CheckCorpusFamily(
        {"zip", "jar", "zip-split-segment", "zip-sfx"}, known,
        [](const test::CorpusFile&, const test::Listing& listing, const test::ExpectedContents& expected) {
            const auto [files, names] = test::ComparableForm(listing, expected);
            std::string differences = test::CompareWithExpected(files, names, false);
            // AES entries (method 99) store no CRC-32 of their contents.
            for (const TEntryRecord& entry : files.entries) {
                for (const test::ExpectedMember& member : names.members) {
                    if (member.path == entry.FileName && entry.CompressMethod != 99 && member.crc32 != entry.FileCRC) {
                        differences += entry.FileName + ": crc differs\n";
                    }
                }
            }
            return differences;
        },
        [](TArcLister& lister) {
            lister.OnCorruptZipHeader = [](TObject*, THeaderTypeState, bool& cancel) { cancel = false; };
        });
    EXPECT_GT(compared, 100);
}

}  // namespace
}  // namespace kv
