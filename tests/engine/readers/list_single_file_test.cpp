// GZIP family, BZIP2 and encoded-text files: one entry each.
#include <gtest/gtest.h>

#include <string>

#include "engine/core/crc.h"
#include "engine/core/dates.h"
#include "support/listing.h"
#include "support/test_support.h"
#include "support/zip_fixture.h"

namespace kv {
namespace {

class SingleFileListTest : public ::testing::Test {
protected:
    test::Listing List(const std::string& name, const std::string& bytes) {
        return test::ListBytes(dir_.Path(), name, bytes);
    }
    test::TempDir dir_;
};

// A GZIP member around `payload` (not really deflated: the lister reads headers only).
std::string Gzip(std::uint8_t flags, const std::string& fields, const std::string& payload, std::uint32_t crc,
                 std::uint32_t size) {
    std::string gz = "\x1F\x8B\x08";
    gz += static_cast<char>(flags);
    test::Put32(gz, 1'600'000'000);
    gz += std::string("\x00\x03", 2);
    gz += fields + payload;
    test::Put32(gz, crc);
    test::Put32(gz, size);
    return gz;
}

TEST_F(SingleFileListTest, GzipNameSizesAndChecksum) {
    const std::string payload(40, 'z');
    struct Case {
        const char* what;
        std::string file;
        std::uint8_t flags;
        std::string fields;
        std::string name;
        std::int64_t packed;
    };
    const std::string extra("\x04\x00" "abcd", 6);
    const Case cases[] = {
        {"stored name", "archive.gz", 0x08, std::string("inner.txt\0", 10), "inner.txt", 10 + 10 + 40},
        {"no stored name", "report.txt.gz", 0x00, "", "report.txt", 10 + 40},
        {"extra field before the name", "x.gz", 0x0C, extra + std::string("n\0", 2), "n", 10 + 6 + 2 + 40 - 4},
    };
    for (const Case& c : cases) {
        const test::Listing listing = List(c.file, Gzip(c.flags, c.fields, payload, 0xCAFEF00D, 1000));
        ASSERT_EQ(listing.entries.size(), 1u) << c.what;
        const TEntryRecord& e = listing.entries[0];
        EXPECT_EQ(listing.type, atGZip);
        EXPECT_EQ(e.FileName, c.name) << c.what;
        EXPECT_EQ(e.FileCRC, 0xCAFEF00Du);
        EXPECT_EQ(e.UnpackedSize, 1000);
        EXPECT_EQ(e.PackedSize, c.packed) << c.what;
        EXPECT_EQ(e.FileDate, UnixTimeToDateTime(1'600'000'000));
        EXPECT_EQ(e.CompressMethodName, "Deflate");
        EXPECT_FALSE(e.Encrypted);
    }
    // A size below the packed size is raised to it; flag bit 5 marks encryption.
    const test::Listing small = List("small.gz", Gzip(0x20, "", payload, 1, 3));
    ASSERT_EQ(small.entries.size(), 1u);
    EXPECT_EQ(small.entries[0].UnpackedSize, small.entries[0].PackedSize);
    EXPECT_TRUE(small.entries[0].Encrypted);
}

// A file of several members (cat a.gz b.gz) is listed as extraction writes it: the size and CRC-32 of all
// members' bytes one after another, not the last member's trailer.
TEST_F(SingleFileListTest, AGzipOfSeveralMembersListsThemAll) {
    if (!test::HaveProgram("gzip")) GTEST_SKIP() << "gzip absent";
    const auto path = dir_ / "two.gz";
    ASSERT_EQ(test::RunCommand("printf 'one\\n' | gzip -n > '" + path.string() + "' && printf 'two two\\n' | gzip -n >> '" +
                               path.string() + "'"),
              0);
    const test::Listing listing = test::ListArchive(path.string(), [](TArcLister& lister) { lister.ListDecoded = true; });
    ASSERT_EQ(listing.entries.size(), 1u);
    const std::string whole = "one\ntwo two\n";
    EXPECT_EQ(listing.entries[0].UnpackedSize, static_cast<std::int64_t>(whole.size()));
    EXPECT_EQ(listing.entries[0].FileCRC, Crc32Of(whole.data(), whole.size()));
}

TEST_F(SingleFileListTest, CompressAndBzip2TakeTheArchiveFacts) {
    const std::string compressed = std::string("\x1F\x9D\x90", 3) + std::string(60, '\x55');
    const test::Listing z = List("words.txt.Z", compressed);
    ASSERT_EQ(z.entries.size(), 1u);
    EXPECT_EQ(z.entries[0].FileName, "words.txt");
    EXPECT_EQ(z.entries[0].UnpackedSize, 63 - 10);
    EXPECT_EQ(z.entries[0].PackedSize, 63 - 10);
    EXPECT_EQ(z.entries[0].FileCRC, 0u);
    EXPECT_EQ(z.entries[0].CompressMethodName, "LzwMAGIC");

    const std::string bz = std::string("BZh91AY&SY", 10) + std::string(50, '\x11');
    const test::Listing b = List("data.bin.bz2", bz);
    EXPECT_EQ(b.type, atBz2);
    ASSERT_EQ(b.entries.size(), 1u);
    EXPECT_EQ(b.entries[0].FileName, "data.bin");
    EXPECT_EQ(b.entries[0].UnpackedSize, 50);
    EXPECT_EQ(b.entries[0].CompressMethodName, "BZ'd");
    EXPECT_EQ(b.offsets, (std::vector<int>{11}));
}

TEST_F(SingleFileListTest, EncodedTextNames) {
    struct Case {
        const char* what;
        std::string text;
        std::string name;  // "" when nothing is listed
    };
    const std::string data_line = "M" + std::string(60, '!') + "\n";
    const Case cases[] = {
        {"uuencoded", "some mail text\nbegin 644 my file.txt\n" + data_line + "`\nend\n", "my file.txt"},
        {"CRLF lines", "begin 755 run.sh\r\n" + data_line + "end\r\n", "run.sh"},
        {"MIME Base64",
         "Subject: x\nContent-Transfer-Encoding: base64\nContent-Disposition: attachment; filename=\"r.bin\"\n\n"
         "aGk=\n" + std::string(40, '\n'),
         "r.bin"},
        {"MIME part without a file name",
         "Content-Transfer-Encoding: Base64\nContent-Type: text/plain\n\naGk=\n" + std::string(40, '\n'), ""},
    };
    for (const Case& c : cases) {
        const test::Listing listing = List("t.uue", c.text);
        if (c.name.empty()) {
            EXPECT_TRUE(listing.entries.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(listing.entries.size(), 1u) << c.what;
        EXPECT_EQ(listing.entries[0].FileName, c.name) << c.what;
        EXPECT_EQ(listing.entries[0].UnpackedSize, static_cast<std::int64_t>(c.text.size()));
        EXPECT_EQ(listing.entries[0].ExternalAttr, 0x20u);
        EXPECT_EQ(listing.offsets, (std::vector<int>{0}));
    }
}

TEST_F(SingleFileListTest, TruncatedFilesEndCleanly) {
    const std::string gz = Gzip(0x0C, "\xFF\xFF", "", 0, 0);  // an extra field longer than the file
    for (std::size_t cut = 0; cut <= gz.size(); ++cut) {
        EXPECT_LE(List("t.gz", gz.substr(0, cut)).entries.size(), 1u);
    }
    const std::string name_only = Gzip(0x08, std::string(400, 'n'), "", 0, 0);  // no terminating zero
    const test::Listing listing = List("n.gz", name_only);
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].FileName, std::string(255, 'n'));
}

// Without decoding, an XZ file's size comes from its index when the file is one stream; otherwise (several
// streams, LZMA alone, Zstandard) the packed size stands in, as for BZIP2.
TEST_F(SingleFileListTest, XzIndexGivesTheSizeOfOneStream) {
    if (!test::HaveProgram("xz") || !test::HaveProgram("zstd")) GTEST_SKIP() << "no xz or zstd";
    std::string content;
    for (int i = 0; i < 30000; ++i) content += std::to_string(i) + '\n';
    test::WriteFile(dir_ / "content", content);
    const std::string in = test::Quoted(dir_ / "content");
    const struct {
        const char* file;
        std::string command;  // writes the file to standard output
        bool indexed;
    } cases[] = {
        {"one.xz", "xz -c " + in, true},
        {"padded.xz", "xz -c " + in + " && printf '\\000\\000\\000\\000\\000\\000\\000\\000'", true},
        {"blocks.xz", "xz -T2 --block-size=20000 -c " + in, true},
        {"two.xz", "xz -c " + in + " && xz -c " + in, false},
        {"alone.lzma", "xz --format=lzma -c " + in, false},
        {"frame.zst", "zstd -qc " + in, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto path = dir_ / c.file;
        ASSERT_EQ(test::RunCommand("{ " + c.command + "; } > " + test::Quoted(path)), 0);
        const test::Listing listing = test::ListArchive(path.string());
        ASSERT_EQ(listing.entries.size(), 1u);
        const TEntryRecord& e = listing.entries[0];
        EXPECT_EQ(e.PackedSize, static_cast<std::int64_t>(std::filesystem::file_size(path)));
        EXPECT_EQ(e.UnpackedSize, c.indexed ? static_cast<std::int64_t>(content.size()) : e.PackedSize);
    }
}

}  // namespace
}  // namespace kv
