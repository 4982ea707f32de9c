#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "support/cab_fixture.h"
#include "support/listing.h"
#include "support/test_support.h"

namespace kv {
namespace {

using test::CabFileRecord;
using test::MakeCab;

using test::Names;

class ListCabTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const auto path = dir_ / name;
        test::WriteFile(path, bytes);
        return path.string();
    }
    test::Listing List(const std::string& path, std::vector<std::string>* asked = nullptr) {
        return test::ListArchive(path, [asked](TArcLister& lister) {
            lister.OnNextVolume = [asked](TObject*, std::string& name, int, bool, bool&) {
                if (asked) asked->push_back(name);
            };
        });
    }
    test::TempDir dir_;
};

TEST_F(ListCabTest, FileRecordsFillTheRecord) {
    const auto listing = List(Write("a.cab", MakeCab({{"dir\\a.txt", 1234, 0, 0x21}, {"Neč.txt", 5, 0, 0xA0}})));
    ASSERT_EQ(listing.type, atCab);
    ASSERT_EQ(listing.entries.size(), 2u);
    const auto& first = listing.entries[0];
    EXPECT_EQ(first.FileName, "dir/a.txt");
    EXPECT_EQ(first.UnpackedSize, 1234);
    EXPECT_EQ(first.PackedSize, 1234);
    EXPECT_EQ(first.FileCRC, 0u);
    EXPECT_EQ(first.CompressMethodName, "MsZIP");
    EXPECT_EQ(first.ExternalAttr, 0x21u);
    EXPECT_EQ(first.VersionMadeBy, 3);
    EXPECT_EQ(first.VersionNeeded, 1);
    EXPECT_DOUBLE_EQ(first.FileDate, DosDateTimeToDateTime(0x5A2E6C22));
    // Attribute 0x80: the name is UTF-8 and is not translated from the OEM code page.
    EXPECT_EQ(listing.entries[1].FileName, "Neč.txt");
}

TEST_F(ListCabTest, NamesWithoutTerminatorAreRefused) {
    struct Case {
        const char* what;
        std::string name;
    };
    const Case cases[] = {
        {"ends with the file", "tail.txt"},
        // Longer than a name may be: the bytes behind it do not make it one.
        {"longer than a name", std::string(300, 'n') + '\0'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto listing = List(Write("t.cab", MakeCab({{"ok.txt", 1}, {c.name, 2, 0, 0x20, true}})));
        EXPECT_EQ(Names(listing), std::vector<std::string>{"ok.txt"});
        EXPECT_EQ(listing.errors, std::vector<int>{ecode::kBadFileHeader});
    }
}

TEST_F(ListCabTest, SetsAreFollowedAndContinuedFilesListedOnce) {
    // Names in the headers are Windows names: the case differs from the files'.
    const std::string first = Write("set1.cab", MakeCab({{"a.txt", 1}, {"split.bin", 10, 0xFFFE}}, "SET2.CAB"));
    Write("set2.cab", MakeCab({{"split.bin", 10, 0xFFFD}, {"b.txt", 2, 0}}, "set3.cab"));
    Write("set3.cab", MakeCab({{"c.txt", 3}}));
    std::vector<std::string> asked;
    const auto listing = List(first, &asked);
    EXPECT_EQ(Names(listing), (std::vector<std::string>{"a.txt", "split.bin", "b.txt", "c.txt"}));
    EXPECT_EQ(asked, (std::vector<std::string>{(dir_ / "set2.cab").string(), (dir_ / "set3.cab").string()}));
    EXPECT_TRUE(listing.errors.empty());
}

TEST_F(ListCabTest, AChainComingBackEndsTheWalk) {
    // Points at itself.
    std::vector<std::string> asked;
    const auto self = List(Write("self.cab", MakeCab({{"a.txt", 1}}, "self.cab")), &asked);
    EXPECT_EQ(Names(self), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(asked.empty());

    // Two cabinets naming each other.
    const std::string ping = Write("ping.cab", MakeCab({{"p.txt", 1}}, "pong.cab"));
    Write("pong.cab", MakeCab({{"q.txt", 1}}, "ping.cab"));
    const auto pair = List(ping, &asked);
    EXPECT_EQ(Names(pair), (std::vector<std::string>{"p.txt", "q.txt"}));
    EXPECT_EQ(asked.size(), 1u);
}

TEST_F(ListCabTest, AnUnreadableNextCabinetIsReported) {
    const std::string first = Write("one.cab", MakeCab({{"a.txt", 1}}, "two.cab"));
    Write("two.cab", "MSCF but nothing more");
    const auto listing = List(first);
    EXPECT_EQ(Names(listing), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(listing.errors, std::vector<int>{ecode::kBadFileHeader});
}

TEST_F(ListCabTest, TruncatedAndGarbledCabinetsEndCleanly) {
    const std::string whole = MakeCab({{"a.txt", 1}, {"b.txt", 2, 0xFFFE}}, "next.cab");
    for (std::size_t size = 8; size <= whole.size(); ++size) List(Write("cut.cab", whole.substr(0, size)));
    for (std::size_t at = 8; at < whole.size(); ++at) {
        std::string garbled = whole;
        garbled[at] = static_cast<char>(0xFF);
        List(Write("bad.cab", garbled));
    }
}

// Cabinets made by gcab list exactly the files that went in, with their folders.
TEST_F(ListCabTest, CabinetsMadeByGcab) {
    if (!test::HaveProgram("gcab")) GTEST_SKIP() << "gcab not installed";
    std::filesystem::create_directories(dir_ / "in" / "sub");
    test::WriteFile(dir_ / "in" / "top.txt", std::string(1000, 't'));
    test::WriteFile(dir_ / "in" / "sub" / "inner.bin", std::string(70000, 'i'));
    for (const char* options : {"-c", "-cz"}) {
        SCOPED_TRACE(options);
        const std::string cab = (dir_ / "made.cab").string();
        std::filesystem::remove(cab);
        ASSERT_EQ(test::RunCommand("cd '" + (dir_ / "in").string() + "' && gcab " + options + " '" + cab +
                                   "' top.txt sub/inner.bin"),
                  0);
        const auto listing = List(cab);
        ASSERT_EQ(Names(listing), (std::vector<std::string>{"top.txt", "sub/inner.bin"}));
        EXPECT_EQ(listing.entries[0].UnpackedSize, 1000);
        EXPECT_EQ(listing.entries[1].UnpackedSize, 70000);
        EXPECT_EQ(listing.entries[1].CompressMethodName, std::string(options) == "-cz" ? "MsZIP" : "Stored");
    }
}

}  // namespace
}  // namespace kv
