#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/readers/rar_headers.h"
#include "support/listing.h"
#include "support/rar_fixture.h"
#include "support/test_support.h"

namespace kv {
namespace {

using test::Put32;
using test::RarFile;

std::vector<std::uint8_t> ByteVector(std::initializer_list<int> values) {
    return std::vector<std::uint8_t>(values.begin(), values.end());
}

TEST(RarUnicodeName, DecodesEveryKindOfUnit) {
    struct Case {
        const char* what;
        std::string plain;
        std::vector<std::uint8_t> packed;
        std::string expected;
    };
    const Case cases[] = {
        // Runs copied from the plain name, a full 16-bit unit, a unit in the high byte's page.
        {"copy, full, high page", "abc??.txt", ByteVector({0x03, 0xE7, 0x01, 0xAC, 0x20, 0xC0, 0x02}), "abc€π.txt"},
        // A run of plain bytes moved by a correction into the high byte's page (CP866 "АБ").
        {"corrected run", "\x80\x81", ByteVector({0x04, 0xC0, 0x80, 0x90}), "АБ"},
        // A surrogate pair written as two full units.
        {"surrogate pair", "??", ByteVector({0x00, 0xA0, 0x35, 0xD8, 0x00, 0xDC}), "𝐀"},
        // A run longer than the plain name stops at its end.
        {"run past the end", "ab", ByteVector({0x00, 0xC0, 0x7F}), "ab"},
        // A full unit cut off by the end of the field.
        {"cut unit", "ab", ByteVector({0x00, 0x80, 0x41}), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> field(c.plain.begin(), c.plain.end());
        field.push_back(0);
        field.insert(field.end(), c.packed.begin(), c.packed.end());
        EXPECT_EQ(DecodeRarUnicodeName(field), c.expected);
    }
    // Without the zero byte the field is UTF-8 already.
    const std::string utf8 = "données.txt";
    EXPECT_EQ(DecodeRarUnicodeName(std::vector<std::uint8_t>(utf8.begin(), utf8.end())), utf8);
}

class ListRarTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const auto path = dir_ / name;
        test::WriteFile(path, bytes);
        return path.string();
    }
    test::TempDir dir_;
};

TEST_F(ListRarTest, Rar4HeadersFillTheRecord) {
    std::string archive = test::RarMarkerAndMain();
    // An old-style comment block and a long block of another type are passed over.
    archive += std::string("\0\0\x75\0\0\x0B\0", 7) + std::string(4, 'c');
    std::string service("\0\0\x7A\0\x80\x0F\0", 7);
    Put32(service, 5);
    archive += service + std::string(4, 's') + std::string(5, 'S');

    RarFile unicode;
    unicode.name = std::string("Ne?.txt\0", 8) + std::string("\x01\xDC\x00\x0D\x02", 5);  // "Neč.txt"
    unicode.flags = 0x8000 | 0x0200 | 0x0004;
    unicode.packed = 7;
    unicode.unpacked = 20;
    unicode.crc = 0xCAFEF00D;
    archive += test::RarFileBlock(unicode);

    RarFile folder;
    folder.name = "docs";
    folder.host = 3;
    folder.attributes = 0x41ED;  // a Unix directory
    folder.method = '0';
    archive += test::RarFileBlock(folder);

    RarFile big;
    big.name = "docs/big.bin";
    big.flags = 0x8000 | 0x0100;
    big.host = 3;
    big.attributes = 0x81A4;
    big.method = '5';
    big.packed = 3;
    big.unpacked = 1;
    big.high_unpacked = 2;  // 8 GiB + 1
    archive += test::RarFileBlock(big) + test::RarEndBlock();
    // Nothing behind the end block is read.
    archive += test::RarFileBlock(RarFile{.name = "after-end"});

    const auto listing = test::ListArchive(Write("a.rar", archive));
    ASSERT_EQ(listing.type, atRar);
    ASSERT_EQ(listing.entries.size(), 3u);
    const auto& first = listing.entries[0];
    EXPECT_EQ(first.FileName, "Neč.txt");
    EXPECT_EQ(first.PackedSize, 7);
    EXPECT_EQ(first.UnpackedSize, 20);
    EXPECT_EQ(first.FileCRC, 0xCAFEF00Du);
    EXPECT_TRUE(first.Encrypted);
    EXPECT_EQ(first.CompressMethod, '3');
    EXPECT_EQ(first.CompressMethodName, "Normal");
    EXPECT_EQ(first.ExternalAttr, 0x20u);
    EXPECT_EQ(first.VersionMadeBy, 0x1D);
    EXPECT_DOUBLE_EQ(first.FileDate, DosDateTimeToDateTime(0x5A2E6C22));
    EXPECT_EQ(listing.offsets[0], 7 + 13 + 11 + 20);

    EXPECT_EQ(listing.entries[1].FileName, "docs/");
    EXPECT_EQ(listing.entries[1].ExternalAttr, 0x10u);
    EXPECT_EQ(listing.entries[1].CompressMethodName, "<Dir>");
    EXPECT_EQ(listing.entries[2].FileName, "docs/big.bin");
    EXPECT_EQ(listing.entries[2].UnpackedSize, (std::int64_t{2} << 32) + 1);
    EXPECT_EQ(listing.entries[2].ExternalAttr, 0x20u);
    EXPECT_EQ(listing.entries[2].CompressMethodName, "Best");
    EXPECT_EQ(listing.total_files, 2);
}

TEST_F(ListRarTest, Rar4UnixNamesInUtf8StayUtf8) {
    RarFile file;
    file.name = "тест.txt";
    file.host = 3;
    file.attributes = 0x81A4;
    const auto listing = test::ListArchive(Write("u.rar", test::RarMarkerAndMain() + test::RarFileBlock(file)));
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].FileName, "тест.txt");
}

TEST_F(ListRarTest, EncipheredHeadersAreReportedAndNothingIsListed) {
    const std::string rar4 = test::RarMarkerAndMain(0x0080) + std::string(64, '\x5A');
    const std::string rar5 = std::string("Rar!\x1A\x07\x01\x00", 8) +
                             test::Rar5Block(4, 0, test::Rar5Number(0) + test::Rar5Number(0) + std::string(17, 'k')) +
                             std::string(64, '\x5A');
    for (const std::string& bytes : {rar4, rar5}) {
        const auto listing = test::ListArchive(Write("locked.rar", bytes));
        EXPECT_TRUE(listing.entries.empty());
        EXPECT_EQ(listing.errors, std::vector<int>{ecode::kPasswordProtected});
    }
}

std::string Rar5File(const std::string& name, std::uint64_t file_flags, std::uint64_t size, std::uint64_t attributes,
                     std::uint64_t compression, std::uint64_t host, std::uint64_t data_size,
                     const std::string& extra = {}, std::uint64_t block_flags = 0) {
    std::string fields = test::Rar5Number(file_flags) + test::Rar5Number(size) + test::Rar5Number(attributes);
    if (file_flags & 0x2) Put32(fields, 1'600'000'000);
    if (file_flags & 0x4) Put32(fields, 0x12345678);
    fields += test::Rar5Number(compression) + test::Rar5Number(host) + test::Rar5Number(name.size()) + name;
    return test::Rar5Block(2, block_flags, fields, extra, data_size);
}

TEST_F(ListRarTest, Rar5HeadersFillTheRecord) {
    std::string archive = test::Rar5Start();
    // Method 3 in bits 7-9, Windows, Unix time and CRC in the header.
    archive += Rar5File("dir/a.txt", 0x6, 300, 0x21, 3 << 7, 0, 120);
    // A directory made on Unix; its time comes as a Windows file time from the extra area.
    std::string time_record = test::Rar5Number(3) + test::Rar5Number(0x2);
    test::Put64(time_record, 116'444'736'000'000'000ull + 1'600'000'000ull * 10'000'000ull);
    archive += Rar5File("dir", 0x1, 0, 0x41ED, 0, 1, 0, test::Rar5Number(time_record.size()) + time_record);
    // A service block (a comment) is no entry.
    archive += test::Rar5Block(3, 0, test::Rar5Number(0) + test::Rar5Number(0) + test::Rar5Number(0) +
                                         test::Rar5Number(0) + test::Rar5Number(0) + test::Rar5Number(3) + "CMT",
                               {}, 10);
    // Enciphered: an encryption record in the extra area.
    const std::string crypt = test::Rar5Number(1) + std::string(10, 'e');
    archive += Rar5File("secret.bin", 0x4, 50, 0x20, 5 << 7, 0, 64, test::Rar5Number(crypt.size()) + crypt);
    archive += test::Rar5Block(5, 0, test::Rar5Number(0));

    const auto listing = test::ListArchive(Write("five.rar", archive));
    ASSERT_EQ(listing.type, atRar);
    ASSERT_EQ(listing.entries.size(), 3u);
    const auto& file = listing.entries[0];
    EXPECT_EQ(file.FileName, "dir/a.txt");
    EXPECT_EQ(file.UnpackedSize, 300);
    EXPECT_EQ(file.PackedSize, 120);
    EXPECT_EQ(file.FileCRC, 0x12345678u);
    EXPECT_EQ(file.CompressMethod, '3');
    EXPECT_EQ(file.CompressMethodName, "Normal");
    EXPECT_EQ(file.ExternalAttr, 0x21u);
    EXPECT_DOUBLE_EQ(file.FileDate, UnixTimeToDateTime(1'600'000'000));
    EXPECT_FALSE(file.Encrypted);
    EXPECT_EQ(listing.entries[1].FileName, "dir/");
    EXPECT_EQ(listing.entries[1].ExternalAttr, 0x10u);
    EXPECT_DOUBLE_EQ(listing.entries[1].FileDate, UnixTimeToDateTime(1'600'000'000));
    EXPECT_TRUE(listing.entries[2].Encrypted);
    EXPECT_EQ(listing.entries[2].CompressMethodName, "Best");
    EXPECT_EQ(listing.total_files, 2);
}

// Volumes: the parts of an entry are joined, the next names follow .partN.rar and .rNN.
TEST_F(ListRarTest, EntriesRunningOnAreJoinedAcrossVolumes) {
    struct Case {
        const char* what;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"part naming", {"set.part1.rar", "set.part2.rar", "set.part3.rar"}},
        {"old naming", {"set.rar", "set.r00", "set.r01"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        RarFile part{.name = "big.bin", .flags = 0x8002, .packed = 10, .unpacked = 100, .crc = 1};
        test::WriteFile(dir / c.names[0], test::RarMarkerAndMain(0x0001) + test::RarFileBlock(part) +
                                               test::RarEndBlock());
        part.flags = 0x8003;
        part.packed = 20;
        part.crc = 2;
        test::WriteFile(dir / c.names[1], test::RarMarkerAndMain(0x0001) + test::RarFileBlock(part) +
                                               test::RarEndBlock());
        part.flags = 0x8001;
        part.packed = 30;
        part.crc = 3;
        test::WriteFile(dir / c.names[2], test::RarMarkerAndMain(0x0001) + test::RarFileBlock(part) +
                                               test::RarFileBlock(RarFile{.name = "small.txt", .packed = 4, .unpacked = 4}));
        std::vector<std::string> asked;
        const auto listing = test::ListArchive((dir / c.names[0]).string(), [&](TArcLister& lister) {
            lister.OnNextVolume = [&](TObject*, std::string& name, int, bool, bool&) { asked.push_back(name); };
        });
        EXPECT_EQ(asked, (std::vector<std::string>{(dir / c.names[1]).string(), (dir / c.names[2]).string()}));
        ASSERT_EQ(listing.entries.size(), 2u);
        EXPECT_EQ(listing.entries[0].FileName, "big.bin");
        EXPECT_EQ(listing.entries[0].PackedSize, 60);
        EXPECT_EQ(listing.entries[0].FileCRC, 3u);
        EXPECT_EQ(listing.entries[1].FileName, "small.txt");
        EXPECT_EQ(listing.total_packed, 64);
    }
}

TEST_F(ListRarTest, AMissingVolumeEndsTheWalkWithTheEntrySoFar) {
    RarFile part{.name = "big.bin", .flags = 0x8002, .packed = 10, .unpacked = 100};
    const std::string first = Write("lone.part1.rar", test::RarMarkerAndMain(0x0001) + test::RarFileBlock(part));
    int asked = 0;
    const auto listing = test::ListArchive(first, [&](TArcLister& lister) {
        lister.OnNextVolume = [&](TObject*, std::string&, int, bool exists, bool&) {
            EXPECT_FALSE(exists);
            ++asked;
        };
    });
    EXPECT_GT(asked, 0);
    EXPECT_EQ(listing.errors, std::vector<int>{ecode::kFileNotFound});
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].PackedSize, 10);

    // Opened in the middle of a set: the part continued from before reports no packed size.
    part.flags = 0x8001;
    const auto middle = test::ListArchive(Write("mid.rar", test::RarMarkerAndMain(0x0001) + test::RarFileBlock(part)));
    ASSERT_EQ(middle.entries.size(), 1u);
    EXPECT_EQ(middle.entries[0].PackedSize, 0);
}

// Every prefix of an archive and a garbled copy list without crashing, looping or reading past the end.
TEST_F(ListRarTest, TruncatedAndGarbledArchivesEndCleanly) {
    RarFile file{.name = std::string("a?.txt\0\x04\x15\x01", 9), .flags = 0x8200 | 0x0100, .packed = 5, .unpacked = 5};
    const std::string rar4 = test::RarMarkerAndMain() + test::RarFileBlock(file) + test::RarEndBlock();
    const std::string rar5 = test::Rar5Start() + Rar5File("x.bin", 0x6, 5, 0x20, 0, 0, 5) +
                             test::Rar5Block(5, 0, test::Rar5Number(0));
    for (const std::string& whole : {rar4, rar5}) {
        for (std::size_t size = 8; size <= whole.size(); ++size) {
            test::ListArchive(Write("cut.rar", whole.substr(0, size)));
        }
        for (std::size_t at = 8; at < whole.size(); ++at) {
            std::string garbled = whole;
            garbled[at] = static_cast<char>(0xFF);
            test::ListArchive(Write("bad.rar", garbled));
        }
    }
}

}  // namespace
}  // namespace kv
