// The ZOO reader on hand-built archives (stored and LZW entries from a test-side encoder, an LZH entry from
// jlha's -lh5- data), on damaged ones, and on the corpus.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/archiver.h"
#include "support/corpus_tree.h"
#include "support/folder_contents.h"
#include "support/reader_run.h"
#include "support/test_support.h"
#include "support/zoo_fixture.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::ZooArchive;
using test::ZooMember;

std::string Text(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string data;
    while (data.size() < size) data += "line " + std::to_string(random() % 3000) + " of the zoo\n";
    return data.substr(0, size);
}

std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random());
    return data;
}

std::string Extract(const test::TempDir& dir, const std::string& archive, const fs::path& out) {
    test::WriteFile(dir / "a.zoo", archive);
    fs::create_directories(out);
    return test::ExtractWithReader(dir / "a.zoo", atZoo, out);
}

TEST(ExtractZoo, EntriesReadBack) {
    struct Case {
        const char* what;
        ZooMember member;
    };
    const Case cases[] = {
        {"stored", {"plain.txt", Text(5000, 1), 0}},
        {"empty stored", {"empty.txt", "", 0}},
        {"LZW, short", {"short.txt", "abracadabra abracadabra", 1}},
        {"LZW, empty", {"none.txt", "", 1}},
        // A run makes the encoder send the code it is still defining.
        {"LZW, one byte repeated", {"run.bin", std::string(70000, 'z'), 1}},
        // Enough strings to widen the codes to 13 bits and clear the table several times.
        {"LZW, long text", {"long.txt", Text(600000, 2), 1}},
        {"LZW, noise", {"noise.bin", Noise(100000, 3), 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        EXPECT_EQ(Extract(dir, ZooArchive({c.member}), dir / "out"), "");
        EXPECT_TRUE(test::ReadFile(dir / "out" / c.member.name) == c.member.data);
    }
}

TEST(ExtractZoo, FoldersLongNamesAndUnixPermissions) {
    test::TempDir dir;
    ZooMember member{"run.sh", "#!/bin/sh\n", 1};
    member.directory = "tools/bin";
    member.unix_mode = 0750;
    ZooMember plain{"read.me", "hello", 0};
    ZooMember long_named{"LONGNA~1.TXT", "long", 1};
    long_named.long_name = "a long name.text";
    long_named.directory = "docs";
    EXPECT_EQ(Extract(dir, ZooArchive({member, plain, long_named}), dir / "out"), "");
    EXPECT_EQ(test::ReadFile(dir / "out" / "docs" / "a long name.text"), "long");
    const fs::path script = dir / "out" / "tools" / "bin" / "run.sh";
    EXPECT_EQ(test::ReadFile(script), "#!/bin/sh\n");
    struct stat info {};
    ASSERT_EQ(stat(script.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0750u);
    EXPECT_EQ(test::ReadFile(dir / "out" / "read.me"), "hello");

    // A folder that climbs out of the destination does not take the file with it.
    ZooMember climbing{"evil.txt", "x", 0};
    climbing.directory = "../../up";
    Extract(dir, ZooArchive({climbing}), dir / "deep" / "er" / "out");
    for (const auto& item : fs::recursive_directory_iterator(dir.Path()))
        EXPECT_TRUE(item.path().filename() != "evil.txt" || test::IsWithin(item.path(), dir / "deep" / "er" / "out"))
            << item.path();
}

// Names follow the system that wrote them: a Unix zoo's bytes are UTF-8, an MS-DOS one's the OEM code page.
TEST(ExtractZoo, NamesByTheWritingSystem) {
    test::TempDir dir;
    ZooMember unix_made{"na\xC3\xAFve.txt", "u", 0};
    unix_made.unix_mode = 0644;
    ZooMember dos_made{"caf\x82.txt", "d", 0};
    EXPECT_EQ(Extract(dir, ZooArchive({unix_made, dos_made}), dir / "out"), "");
    EXPECT_EQ(test::FolderNames(dir / "out"), (std::vector<std::string>{"caf\xC3\xA9.txt", "na\xC3\xAFve.txt"}));
}

// ZOO's LZH is LHA's -lh5-: jlha's packed data, in a ZOO entry, extracts (and fails once damaged).
TEST(ExtractZoo, LzhEntriesFromTheLhaTool) {
    test::TempDir dir;
    const std::string payload = Text(200000, 6) + Noise(30000, 7) + std::string(40000, '\0') + Text(20000, 8);
    test::WriteFile(dir / "payload", payload);
    if (!test::RunArchiver("jlha", dir.Path(), "jlha a0o5q a.lzh payload")) GTEST_SKIP() << "jlha is not installed";
    const std::string lha = test::ReadFile(dir / "a.lzh");
    ASSERT_EQ(lha.substr(2, 5), "-lh5-");
    // A level 0 header: its size in the first byte, the packed size at offset 7.
    const std::size_t data_at = static_cast<unsigned char>(lha[0]) + 2u;
    std::uint32_t packed_size = 0;
    for (int i = 3; i >= 0; --i) packed_size = packed_size << 8 | static_cast<unsigned char>(lha[7 + i]);
    const std::string packed = lha.substr(data_at, packed_size);

    EXPECT_EQ(Extract(dir, ZooArchive({{"payload", payload, 2, packed}}), dir / "out"), "");
    EXPECT_TRUE(test::ReadFile(dir / "out" / "payload") == payload);

    std::string damaged = packed;
    damaged[damaged.size() / 3] ^= 0x08;
    const std::string reported = Extract(dir, ZooArchive({{"payload", payload, 2, damaged}}), dir / "bad");
    EXPECT_TRUE(reported.starts_with("payload: ")) << reported;
    EXPECT_FALSE(fs::exists(dir / "bad" / "payload"));
}

// An older version of a file stays in the directory, marked deleted, until the archive is packed; wherever it
// lies it must not replace the live one.
TEST(ExtractZoo, DeletedEntriesAreSkipped) {
    test::TempDir dir;
    ZooMember live{"a.txt", "new version", 1};
    ZooMember old{"a.txt", "old version", 0};
    old.deleted = true;
    EXPECT_EQ(Extract(dir, ZooArchive({live, old}), dir / "out"), "");
    EXPECT_EQ(test::ReadFile(dir / "out" / "a.txt"), "new version");
    EXPECT_EQ(test::FolderNames(dir / "out"), std::vector<std::string>{"a.txt"});
}

// The offset of entry `index` (0 first) in a ZooArchive whose members are `sizes` bytes of stored data
// with no comment or folder.
std::size_t StoredEntryAt(const std::vector<std::size_t>& sizes, std::size_t index) {
    std::size_t at = 34;
    for (std::size_t i = 0; i < index; ++i) at += 56 + 7 + sizes[i];
    return at;
}

void PutLE32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

TEST(ExtractZoo, DamagedArchivesSayWhy) {
    const std::vector<ZooMember> members = {{"a.txt", "first", 0}, {"b.txt", "second", 0}, {"c.txt", "third", 0}};
    const std::string good = ZooArchive(members);
    const std::vector<std::size_t> sizes = {5, 6, 5};
    const std::size_t second = StoredEntryAt(sizes, 1);
    const std::size_t third = StoredEntryAt(sizes, 2);

    std::string backwards = good;  // the second entry leads back to the first: no endless walk
    PutLE32(backwards, second + 6, 34);
    std::string in_place = good;  // the second entry leads to itself
    PutLE32(in_place, second + 6, static_cast<std::uint32_t>(second));
    std::string bad_tag = good;
    bad_tag[third] ^= 0x01;
    std::string bad_check_word = good;  // the archive header's check of its first-entry offset
    PutLE32(bad_check_word, 28, 0);
    const std::string cut_in_directory = good.substr(0, third + 20);
    const std::string no_end_entry = good.substr(0, good.size() - 63);

    struct Case {
        const char* what;
        std::string archive;
        std::string reported;
        std::vector<std::string> written;
    };
    const Case cases[] = {
        // An entry that leads nowhere sound is not trusted either.
        {"next entry behind", backwards, "a.zoo: Bad file header\n", {"a.txt"}},
        {"next entry in place", in_place, "a.zoo: Bad file header\n", {"a.txt"}},
        {"bad tag", bad_tag, "a.zoo: Bad file header\n", {"a.txt", "b.txt"}},
        {"bad archive header", bad_check_word, "a.zoo: Bad file header\n", {}},
        {"cut in the directory", cut_in_directory, "a.zoo: Error reading file or unexpected end of file\n",
         {"a.txt", "b.txt"}},
        {"no end entry", no_end_entry, "a.zoo: Error reading file or unexpected end of file\n",
         {"a.txt", "b.txt", "c.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        EXPECT_EQ(Extract(dir, c.archive, dir / "out"), c.reported);
        EXPECT_EQ(test::FolderNames(dir / "out"), c.written);
    }
}

TEST(ExtractZoo, DamagedEntriesFailAndLeaveNothing) {
    test::LsbBitWriter above_next_free;  // clear, 'a', then a code the table does not hold yet
    above_next_free.Put(256, 9).Put('a', 9).Put(300, 9).Put(257, 9);
    ZooMember lzw{"x.txt", Text(3000, 4), 1};
    std::string flipped = test::ZooLzw(lzw.data);
    flipped[flipped.size() / 2] ^= 0x10;
    const std::string packed = test::ZooLzw(lzw.data);

    struct Case {
        const char* what;
        ZooMember member;
        std::string reported;
    };
    const Case cases[] = {
        {"code above the next free one",
         {"x.txt", "a", 1, std::string(above_next_free.Bytes().begin(), above_next_free.Bytes().end())},
         "x.txt: Decompression error\nx.txt: fails its check\n"},
        {"flipped bit", {"x.txt", lzw.data, 1, flipped}, "x.txt: "},
        {"LZW without its end code", {"x.txt", lzw.data, 1, packed.substr(0, packed.size() - 2)},
         "x.txt: Error reading file or unexpected end of file\nx.txt: fails its check\n"},
        {"stored data changed", {"x.txt", "good data", 0, std::string("bad data!")}, "x.txt: fails its check\n"},
        {"unknown method", {"x.txt", "data", 7, std::string("data")}, "x.txt: Unsupported compression method\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::string reported = Extract(dir, ZooArchive({c.member}), dir / "out");
        EXPECT_TRUE(reported.starts_with(c.reported)) << reported;
        EXPECT_NE(reported, "");
        EXPECT_FALSE(fs::exists(dir / "out" / "x.txt"));
    }
}

// Stored data that run past the end of the file.
TEST(ExtractZoo, DataCutShortFails) {
    test::TempDir dir;
    const std::string archive = ZooArchive({{"x.txt", Text(4000, 5), 0}});
    // Moving the end entry's place beyond the file cuts the data and leaves the directory unfinished.
    EXPECT_EQ(Extract(dir, archive.substr(0, archive.size() - 63 - 100), dir / "out"),
              "x.txt: Error reading file or unexpected end of file\nx.txt: fails its check\n"
              "a.zoo: Error reading file or unexpected end of file\n");
    EXPECT_FALSE(fs::exists(dir / "out" / "x.txt"));
}

// Every cut and every flipped byte of a stored and an LZW archive: the reader ends, writes inside its
// destination only, reports a cut into the directory, and never passes data it changed.
TEST(ExtractZoo, CutAndFlippedCopiesNeverPassWrongData) {
    std::vector<std::pair<std::string, std::vector<std::string>>> archives = {
        {ZooArchive({{"a.txt", Text(700, 9), 1}, {"b.txt", "stored", 0}}), {Text(700, 9), "stored"}}};
    if (!test::CorpusDir().empty()) archives.push_back({test::ReadFile(test::CorpusDir() / "patool/t.zoo"), {"42"}});
    test::TempDir dir;
    std::string failures;
    for (const auto& [archive, contents] : archives) {
        const auto check = [&](const std::string& copy, bool cut, const std::string& what) {
            const fs::path sandbox = dir / "sandbox";
            fs::remove_all(sandbox);
            const std::string reported = Extract(dir, copy, sandbox / "out");
            if (cut && reported.empty()) failures += what + ": nothing reported\n";
            for (const auto& item : fs::recursive_directory_iterator(sandbox)) {
                if (!test::IsWithin(item.path(), sandbox / "out"))
                    failures += what + ": wrote " + item.path().string() + "\n";
                const bool known = std::ranges::find(contents, test::ReadFile(item.path())) != contents.end();
                if (item.is_regular_file() && reported.empty() && !known) failures += what + ": passed wrong data\n";
            }
        };
        // The directory ends with the fixed part of its last entry; what a writer puts behind it is not needed.
        const std::size_t directory_end = archive.rfind("\xDC\xA7\xC4\xFD") + 56;
        for (std::size_t size = 0; size < archive.size(); ++size)
            check(archive.substr(0, size), size < directory_end, "cut at " + std::to_string(size));
        for (std::size_t at = 0; at < archive.size(); ++at) {
            std::string flipped = archive;
            flipped[at] ^= static_cast<char>(1u << (at % 8));
            check(flipped, false, "flip at " + std::to_string(at));
        }
    }
    EXPECT_EQ(failures, "");
}

TEST(ExtractZoo, CorpusArchivesExtractAsTheExtractorsWrote) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const test::TCorpusComparison result = test::CompareTrustedExtractions(
        [](const test::CorpusFile& row) { return row.format == "zoo"; },
        [](const fs::path& archive, const fs::path& destination, const test::ExpectedContents&) {
            return test::ExtractWithReader(archive, atZoo, destination);
        },
        test::ListedWithReasons({}));
    EXPECT_EQ(result.failures, "");
    EXPECT_GE(result.compared, 1);
}

}  // namespace
}  // namespace kv
