#include "engine/readers/arc_lister.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/error_codes.h"
#include "support/test_support.h"

namespace kv {
namespace {

// A lister whose walk offers the entries the test gives it.
class ScriptedLister : public TArcLister {
public:
    struct Offer {
        std::string name;
        std::int64_t size;
        std::int64_t packed;
        TListedKind kind;
    };
    std::vector<Offer> offers;
    std::vector<std::string> events;

    ScriptedLister() {
        FileSpec = {"*.*"};
        OnActivate = [this](TObject*) { events.push_back("activate"); };
        OnDeactivate = [this](TObject*) { events.push_back("deactivate"); };
        OnElapsedTime = [this](TObject*, float) { events.push_back("elapsed"); };
        OnReadFile = [this](TObject*, const std::string& name) { events.push_back("file " + name); };
        OnReadBegin = [this](TObject*) { events.push_back("begin"); };
        OnRead = [this](TObject*, int offset, int filenum) {
            events.push_back("read " + Entry().FileName + " @" + std::to_string(offset) + " #" + std::to_string(filenum));
        };
        OnReadEnd = [this](TObject*) { events.push_back("end"); };
        OnTotals = [this](TObject*, std::int64_t unpacked, std::int64_t packed, int ratio, int files) {
            events.push_back("totals " + std::to_string(unpacked) + "/" + std::to_string(packed) + " " +
                             std::to_string(ratio) + "% " + std::to_string(files));
        };
    }

protected:
    void Walk() override {
        std::int64_t offset = 0;
        for (const Offer& offer : offers) {
            TEntryRecord record;
            record.FileName = offer.name;
            record.UnpackedSize = offer.size;
            record.PackedSize = offer.packed;
            OfferEntry(record, offset, offer.kind);
            offset += 100;
        }
    }
};

class ListerTest : public ::testing::Test {
protected:
    std::string Archive() {
        const auto path = dir_ / "a.tar";
        test::WriteFile(path, std::string(1024, '\0'));
        return path.string();
    }
    test::TempDir dir_;
};

TEST_F(ListerTest, EventOrderTotalsAndDirectories) {
    ScriptedLister lister;
    lister.SetArchiveFile(Archive());
    lister.offers = {{"a.txt", 100, 40, TListedKind::lkFile},
                     {"docs", 0, 0, TListedKind::lkDirectory},
                     {"b.txt", 300, 60, TListedKind::lkFile}};
    ASSERT_TRUE(lister.Activate());
    EXPECT_EQ(lister.events, (std::vector<std::string>{
                                 "activate", "file a.txt", "begin", "read a.txt @0 #1", "end", "file docs",
                                 "file b.txt", "begin", "read b.txt @200 #2", "end", "totals 400/100 75% 2",
                                 "deactivate", "elapsed"}));
    EXPECT_EQ(lister.Entry().FileName, "b.txt");
    EXPECT_EQ(lister.Entry().Ratio, 80);
}

TEST_F(ListerTest, ShownDirectoriesGetTheDelimiterAndCountOnlyWhereTheyAreMembers) {
    ScriptedLister lister;
    lister.SetArchiveFile(Archive());
    lister.ShowEmptyDirs = true;
    lister.offers = {{"docs", 0, 0, TListedKind::lkDirectory}, {"src/", 0, 0, TListedKind::lkCountedDirectory}};
    ASSERT_TRUE(lister.Activate());
    EXPECT_EQ(lister.events[3], "read docs/ @0 #0");
    EXPECT_EQ(lister.events[7], "read src/ @100 #1");
    EXPECT_EQ(lister.events[9], "totals 0/0 0% 1");
}

TEST_F(ListerTest, RefusesToStartWithoutFileOrOnRead) {
    struct Case {
        const char* name;
        bool set_file;
        bool on_read;
        int code;
        std::string extended;
    };
    const Case cases[] = {
        {"no archive", false, true, ecode::kFileNotFound, ""},
        {"no OnRead", true, false, ecode::kRequiredEventNotAssigned, "OnRead"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedLister lister;
        if (c.set_file) lister.SetArchiveFile(Archive());
        if (!c.on_read) lister.OnRead = nullptr;
        std::vector<std::pair<int, std::string>> errors;
        lister.OnError = [&](TObject*, const std::string&, const std::string& extended, const std::string&, int code) {
            errors.emplace_back(code, extended);
        };
        EXPECT_FALSE(lister.Activate());
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].first, c.code);
        EXPECT_EQ(errors[0].second, c.extended);
        EXPECT_TRUE(lister.events.empty());
    }
}

TEST_F(ListerTest, UnopenableArchiveReportsErrorOpeningFileWithoutActivating) {
    ScriptedLister lister;
    const std::string archive = Archive();
    lister.SetArchiveFile(archive);
    std::filesystem::permissions(archive, std::filesystem::perms::none);
    if (std::FILE* probe = std::fopen(archive.c_str(), "rb")) {  // root reads anything
        std::fclose(probe);
        GTEST_SKIP() << "permissions do not apply to this user";
    }
    std::vector<int> codes;
    lister.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        codes.push_back(code);
    };
    EXPECT_FALSE(lister.Activate());
    EXPECT_EQ(codes, std::vector<int>{ecode::kErrorOpeningFile});
    EXPECT_TRUE(lister.events.empty());
}

TEST_F(ListerTest, NestedActivateFromAHandlerReturnsAtOnce) {
    ScriptedLister lister;
    lister.SetArchiveFile(Archive());
    lister.offers = {{"a", 1, 1, TListedKind::lkFile}};
    bool nested = true;
    lister.OnReadEnd = [&](TObject*) { nested = lister.Activate(); };
    ASSERT_TRUE(lister.Activate());
    EXPECT_FALSE(nested);
    EXPECT_EQ(std::count(lister.events.begin(), lister.events.end(), "activate"), 1);
}

TEST_F(ListerTest, NameListModeCollectsNamesInsteadOfReporting) {
    ScriptedLister lister;
    lister.SetArchiveFile(Archive());
    lister.OnRead = nullptr;
    std::vector<std::string> names;
    lister.NameList = &names;
    lister.offers = {{"a", 1, 1, TListedKind::lkFile}, {"b", 1, 1, TListedKind::lkFile}};
    ASSERT_TRUE(lister.Activate());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace kv
