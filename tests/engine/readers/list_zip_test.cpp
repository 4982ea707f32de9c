#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/crc.h"
#include "engine/core/error_codes.h"
#include "support/listing.h"
#include "support/test_support.h"
#include "support/zip_builder.h"
#include "support/zip_fixture.h"

namespace kv {
namespace {

using test::BuildZip;
using test::ZipMember;

class ZipListTest : public ::testing::Test {
protected:
    std::string Write(const std::string& bytes, const std::string& name = "a.zip") {
        const auto path = dir_ / name;
        test::WriteFile(path, bytes);
        return path.string();
    }
    test::TempDir dir_;
};

TEST_F(ZipListTest, CentralDirectoryFillsTheRecords) {
    ZipMember dir{.name = "docs/", .external_attributes = 0x10};
    ZipMember text{.name = "docs/a.txt", .data = "hello", .comment = "a note"};
    ZipMember deflated{.name = "b.bin", .data = std::string(40, 'x'), .flags = 2, .method = 8};
    ZipMember secret{.name = "s.txt", .data = std::string(112, 's'), .flags = 1};
    const std::string path = Write(BuildZip({dir, text, deflated, secret}));

    const test::Listing listing = test::ListArchive(path);
    EXPECT_EQ(listing.type, atZip);
    ASSERT_EQ(listing.entries.size(), 4u);
    EXPECT_TRUE(listing.errors.empty());
    EXPECT_EQ(listing.entries[0].FileName, "docs/");
    EXPECT_EQ(listing.entries[1].FileName, "docs/a.txt");
    EXPECT_EQ(listing.entries[1].UnpackedSize, 5);
    EXPECT_EQ(listing.entries[1].FileCRC, Crc32Of("hello", 5));
    EXPECT_EQ(listing.entries[1].FileComment, "a note");
    EXPECT_EQ(listing.entries[1].CompressMethodName, "Stored");
    EXPECT_EQ(listing.entries[1].VersionMadeBy, 0x031E);
    EXPECT_EQ(listing.entries[1].FileDate, DosDateTimeToDateTime(0x5A6B3C21));
    EXPECT_EQ(listing.entries[2].CompressMethodName, "DFLT-X");
    EXPECT_TRUE(listing.entries[3].Encrypted);
    EXPECT_EQ(listing.entries[3].PackedSize, 100);  // without the cipher header
    // Offsets are the stored local-header offsets, in archive order.
    EXPECT_EQ(listing.offsets, (std::vector<int>{0, 35, 35 + 45, 80 + 75}));
    EXPECT_EQ(listing.total_files, 4);  // ZIP directory entries that are shown count
    EXPECT_EQ(listing.total_unpacked, 5 + 40 + 112);
}

TEST_F(ZipListTest, HiddenDirectoryEntryIsSeenButNotReported) {
    ZipMember flagged{.name = "dir", .external_attributes = 0x10};
    ZipMember slash{.name = "other/"};  // no attribute: the name says it
    ZipMember file{.name = "dir/f", .data = "x"};
    const std::string path = Write(BuildZip({flagged, slash, file}));
    std::vector<std::string> seen;
    const test::Listing listing = test::ListArchive(path, [&](TArcLister& lister) {
        lister.ShowEmptyDirs = false;
        lister.OnReadFile = [&](TObject*, const std::string& name) { seen.push_back(name); };
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"dir", "other/", "dir/f"}));
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].FileName, "dir/f");
    EXPECT_EQ(listing.total_files, 1);
}

TEST_F(ZipListTest, NameEncodings) {
    const std::string cp437_e_acute = "\x82";
    const std::string utf8_e_acute = "\xC3\xA9";
    auto unicode_path = [](const std::string& stored, const std::string& utf8, std::uint32_t crc_delta) {
        std::string data = "\x01";
        test::Put32(data, Crc32Of(stored.data(), stored.size()) + crc_delta);
        return test::ExtraField(0x7075, data + utf8);
    };
    struct Case {
        const char* what;
        ZipMember member;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"OEM bytes", {.name = "caf" + cp437_e_acute}, "caf" + utf8_e_acute},
        {"UTF-8 flag", {.name = "caf" + utf8_e_acute, .flags = 0x0800}, "caf" + utf8_e_acute},
        {"Unicode path field",
         {.name = "cafe", .central_extra = unicode_path("cafe", "caf" + utf8_e_acute, 0)},
         "caf" + utf8_e_acute},
        {"stale Unicode path field",
         {.name = "cafe", .central_extra = unicode_path("cafe", "other", 1)},
         "cafe"},
    };
    for (const Case& c : cases) {
        const test::Listing listing = test::ListArchive(Write(BuildZip({c.member})));
        ASSERT_EQ(listing.entries.size(), 1u) << c.what;
        EXPECT_EQ(listing.entries[0].FileName, c.expected) << c.what;
    }
}

TEST_F(ZipListTest, Zip64RecordsAndFields) {
    ZipMember first{.name = "small.txt", .data = "abc"};
    ZipMember big{.name = "big.bin", .data = "data", .zip64 = true, .zip64_unpacked = 5'000'000'000};
    const std::string path = Write(BuildZip({first, big}, {.zip64_end = true}));
    const test::Listing listing = test::ListArchive(path);
    ASSERT_EQ(listing.entries.size(), 2u);
    EXPECT_EQ(listing.entries[1].FileName, "big.bin");
    EXPECT_EQ(listing.entries[1].UnpackedSize, 5'000'000'000);
    EXPECT_EQ(listing.entries[1].PackedSize, 4);
    EXPECT_EQ(listing.entries[1].HeaderOffset, 42);
    EXPECT_EQ(listing.total_unpacked, 5'000'000'003);
}

TEST_F(ZipListTest, EncipheredCentralHeaderAndPrefixedArchive) {
    // "PL": the fixed part and the name behind it are enciphered with the header keys, one stream.
    std::string zip = BuildZip({{.name = "first.txt", .data = "1"}, {.name = "a.txt", .data = "hello"}});
    for (std::size_t at = zip.find("PK\x01\x02"); at != std::string::npos; at = zip.find("PK\x01\x02", at + 4)) {
        TZipKeys keys(CipherSeed(TSeedKind::skHeader));
        const std::size_t name_size = static_cast<unsigned char>(zip[at + 28]);
        keys.Encipher(reinterpret_cast<std::uint8_t*>(&zip[at + 4]), 42 + name_size);
        zip[at + 1] = 'L';
    }
    const test::Listing enciphered = test::ListArchive(Write(zip));
    ASSERT_EQ(enciphered.entries.size(), 2u);
    EXPECT_EQ(enciphered.entries[1].FileName, "a.txt");
    EXPECT_EQ(enciphered.entries[1].UnpackedSize, 5);

    // Offsets not adjusted to the bytes in front: the header lies that much further on.
    const std::string prefix(300, '#');
    const test::Listing prefixed = test::ListArchive(Write(test::MakeZip(test::ZipLayout{}.WithPrefix(prefix)), "p.zip"));
    ASSERT_EQ(prefixed.entries.size(), 1u);
    EXPECT_EQ(prefixed.entries[0].FileName, "a.txt");
    EXPECT_EQ(prefixed.entries[0].HeaderOffset, 300);
    EXPECT_EQ(prefixed.offsets[0], 0);
}

TEST_F(ZipListTest, UnverifiedLocalHeaderIsReportedPerEntry) {
    const test::Listing listing = test::ListArchive(Write(test::MakeZip(test::ZipLayout{}.WithLocalOffset(3))));
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.errors, (std::vector<int>{ecode::kBadFileHeader}));
}

class ZipWithoutDirectoryTest : public ZipListTest {
protected:
    std::string Archive() {
        ZipMember plain{.name = "a.txt", .data = "hello"};
        ZipMember streamed{.name = "b.txt", .data = "streamed data", .descriptor = true};
        ZipMember last{.name = "c/", .data = ""};
        return Write(BuildZip({plain, streamed, last}, {.central_directory = false}));
    }
};

TEST_F(ZipWithoutDirectoryTest, ListedFromLocalHeadersWhenTheOwnerAgrees) {
    std::vector<THeaderTypeState> asked;
    const test::Listing listing = test::ListArchive(Archive(), [&](TArcLister& lister) {
        lister.OnCorruptZipHeader = [&](TObject*, THeaderTypeState flags, bool& cancel) {
            asked.push_back(flags);
            cancel = false;
        };
    });
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(asked[0].Has(htEnding));
    ASSERT_EQ(listing.entries.size(), 3u);
    EXPECT_EQ(listing.entries[0].FileName, "a.txt");
    EXPECT_EQ(listing.entries[1].FileName, "b.txt");
    EXPECT_EQ(listing.entries[1].UnpackedSize, 13);  // from its data descriptor
    EXPECT_EQ(listing.entries[1].FileCRC, Crc32Of("streamed data", 13));
    EXPECT_EQ(listing.entries[2].FileName, "c/");
    EXPECT_EQ(listing.offsets, (std::vector<int>{0, 40, 40 + 48 + 16}));
}

TEST_F(ZipWithoutDirectoryTest, NotListedUnlessTheOwnerAgrees) {
    const test::Listing refused = test::ListArchive(Archive(), [](TArcLister& lister) {
        lister.OnCorruptZipHeader = [](TObject*, THeaderTypeState, bool&) {};
    });
    EXPECT_TRUE(refused.activated);
    EXPECT_TRUE(refused.entries.empty());
    EXPECT_TRUE(refused.errors.empty());

    TArcLister lister;
    lister.FileSpec = {"*.*"};
    std::vector<std::pair<int, std::string>> errors;
    lister.OnError = [&](TObject*, const std::string&, const std::string& extended, const std::string&, int code) {
        errors.emplace_back(code, extended);
    };
    int reads = 0;
    lister.OnRead = [&](TObject*, int, int) { ++reads; };
    lister.SetArchiveFile(Archive());
    ASSERT_EQ(lister.ArcType(), atZip);
    EXPECT_TRUE(lister.Activate());
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(errors, (std::vector<std::pair<int, std::string>>{
                          {ecode::kRequiredEventNotAssigned, "OnCorruptZipHeader"}}));
    EXPECT_EQ(lister.ArcType(), atNA);
}

TEST_F(ZipListTest, HundredThousandEntriesAreAllListed) {
    std::vector<ZipMember> members(100'000);
    for (std::size_t i = 0; i < members.size(); ++i) members[i].name = "dir/file" + std::to_string(i) + ".txt";
    TArcLister lister;
    lister.FileSpec = {"*.*"};
    int count = 0;
    std::string last;
    lister.OnRead = [&](TObject*, int, int) {
        ++count;
        if (count == 100'000) last = lister.Entry().FileName;
    };
    lister.SetArchiveFile(Write(BuildZip(members)));
    ASSERT_TRUE(lister.Activate());
    EXPECT_EQ(count, 100'000);
    EXPECT_EQ(last, "dir/file99999.txt");
}

TEST_F(ZipListTest, DamagedArchivesEndCleanly) {
    std::vector<ZipMember> members;
    for (int i = 0; i < 6; ++i) {
        members.push_back({.name = "f" + std::to_string(i), .data = std::string(50, 'a' + i), .comment = "c"});
    }
    members[3].descriptor = true;
    const std::string whole = BuildZip(members);
    auto accept_local_walk = [](TArcLister& lister) {
        lister.OnCorruptZipHeader = [](TObject*, THeaderTypeState, bool& cancel) { cancel = false; };
    };
    for (std::size_t cut = 20; cut < whole.size(); cut += 7) {
        const test::Listing listing = test::ListArchive(Write(whole.substr(0, cut)), accept_local_walk);
        EXPECT_LE(listing.entries.size(), members.size()) << "cut at " << cut;
    }
    // Garble single bytes of the directory and the end record.
    const std::size_t directory_at = whole.find("PK\x01\x02");
    for (std::size_t at = directory_at; at < whole.size(); ++at) {
        for (const char value : {'\xFF'}) {
            std::string garbled = whole;
            garbled[at] = value;
            const test::Listing listing = test::ListArchive(Write(garbled), accept_local_walk);
            EXPECT_LE(listing.entries.size(), members.size()) << "byte " << at;
        }
    }
}

}  // namespace
}  // namespace kv
