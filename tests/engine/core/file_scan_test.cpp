#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/attribute_filter.h"
#include "engine/core/file_scan.h"
#include "platform/dir_listing.h"
#include "platform/mount_points.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// root/ a.txt(5) ab.txt(3) b.log(7) .dot.txt(2) ro.txt(4, read-only) sub/c.txt(4) .hdir/d.txt(1)
class FileScan : public testing::Test {
protected:
    void SetUp() override {
        test::WriteFile(dir_ / "a.txt", "aaaaa");
        test::WriteFile(dir_ / "ab.txt", "abc");
        test::WriteFile(dir_ / "b.log", "bbbbbbb");
        test::WriteFile(dir_ / ".dot.txt", "..");
        test::WriteFile(dir_ / "ro.txt", "rrrr");
        fs::permissions(dir_ / "ro.txt", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
        fs::create_directory(dir_ / "sub");
        test::WriteFile(dir_ / "sub" / "c.txt", "cccc");
        fs::create_directory(dir_ / ".hdir");
        test::WriteFile(dir_ / ".hdir" / "d.txt", "d");
        scan_.SetRootDir(Root());
    }

    std::string Root() const { return dir_.Path().string() + "/"; }

    // "dir-relative/name" of every listed item, in list order.
    std::vector<std::string> Listed() const {
        std::vector<std::string> names;
        for (const TFileObject& f : scan_.Files()) names.push_back(f.Directory.substr(Root().size()) + f.Name);
        return names;
    }
    std::vector<std::string> ListedSorted() const {
        std::vector<std::string> names = Listed();
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir dir_;
    TArcFileScan scan_;
};

using Names = std::vector<std::string>;

TEST_F(FileScan, LinesOfOneDirectoryAreWalkedOnceAndConsumed) {
    std::vector<std::string> roots;
    std::vector<std::string> walked;
    scan_.OnRootDirChange = [&](TObject*, const std::string& dir) { roots.push_back(dir); };
    scan_.OnRecurseDir = [&](TObject*, const std::string& dir) { walked.push_back(dir.substr(Root().size())); };
    scan_.SetFileSpec({Root() + "*.txt", "", Root() + "sub/*.none", Root() + "a*.txt"});
    scan_.Scan();

    EXPECT_EQ(roots, (Names{Root(), Root() + "sub/"}));
    EXPECT_EQ(walked, (Names{"", "sub/", "sub/"}));  // the root's walk reaches sub/, then sub/'s own line
    EXPECT_EQ(ListedSorted(), (Names{".dot.txt", "a.txt", "ab.txt", "ro.txt", "sub/c.txt"}));  // each once
    EXPECT_TRUE(scan_.FileSpec.empty());
    EXPECT_EQ(scan_.RootDir(), Root() + "sub/");
}

TEST_F(FileScan, MaskTextWalksRootDirAndReportsEachFile) {
    std::vector<std::string> reported;
    std::vector<std::string> finished;
    scan_.SetMaskText("*.log,  ab*");
    scan_.OnScanFile = [&](TObject*, const std::string& name, int count, std::int64_t size) {
        reported.push_back(name + ":" + std::to_string(count) + ":" + std::to_string(size));
    };
    scan_.OnFinished = [&](TObject*, int count, std::int64_t size) {
        finished.push_back(std::to_string(count) + ":" + std::to_string(size));
    };
    scan_.SetSorted(soByName);
    scan_.Scan();
    EXPECT_EQ(finished, Names{"2:10"});
    EXPECT_EQ(Listed(), (Names{"ab.txt", "b.log"}));
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_TRUE(reported[1] == "ab.txt:2:10" || reported[1] == "b.log:2:10") << reported[1];

    scan_.SetRootDir(Root() + "missing");
    scan_.Scan();  // nothing to walk, but the end is still reported
    EXPECT_EQ(finished, (Names{"2:10", "0:0"}));
    EXPECT_TRUE(scan_.Files().Empty());
}

TEST_F(FileScan, HiddenDirectoriesOnlyOnRequestAndAttributeFilters) {
    scan_.Scan();  // mask text "*"
    // Files always carry the archive bit here, so a dot file passes the default include test.
    EXPECT_EQ(ListedSorted(), (Names{".dot.txt", "a.txt", "ab.txt", "b.log", "ro.txt", "sub/c.txt"}));

    scan_.IncludeHiddenDirs = true;
    scan_.Attributes = {fsArchive, fsHidden};
    scan_.AttributesEx = {fsHidden, fsReadOnly};
    scan_.Scan();
    EXPECT_EQ(ListedSorted(), (Names{".hdir/d.txt", "a.txt", "ab.txt", "b.log", "sub/c.txt"}));

    scan_.AttributesEx = {};
    scan_.Attributes = {fsDirectory};
    int reported = 0;
    scan_.OnScanFile = [&](TObject*, const std::string&, int, std::int64_t) { ++reported; };
    scan_.Scan();
    // Directory items: no name, their own path as directory, not counted; links are not directories.
    EXPECT_EQ(ListedSorted(), (Names{".hdir/", "sub/"}));
    EXPECT_EQ(scan_.FilesCount(), 0);
    EXPECT_EQ(reported, 0);
}

TEST_F(FileScan, WithoutUpdateListOnlyCounts) {
    int reported = 0;
    scan_.UpdateList = false;
    scan_.Attributes = {fsArchive, fsDirectory};
    scan_.OnScanFile = [&](TObject*, const std::string&, int, std::int64_t) { ++reported; };
    scan_.AddHandler = [&](TObject*, const std::string&, TFilesList*, const TFindRecord&) {
        ADD_FAILURE() << "nothing may be handed on";
        return true;
    };
    scan_.Scan();
    EXPECT_TRUE(scan_.Files().Empty());
    EXPECT_EQ(reported, 0);
    EXPECT_EQ(scan_.FilesCount(), 6);
    EXPECT_EQ(scan_.FilesSize(), 5 + 3 + 7 + 2 + 4 + 4);
}

TEST_F(FileScan, ReplacedAddHandlerDecidesWhatCounts) {
    TFilesList own;
    scan_.AddList = &own;
    scan_.AddHandler = [&](TObject*, const std::string& dir, TFilesList* list, const TFindRecord& rec) {
        EXPECT_EQ(list, &own);
        if (rec.Name != "b.log") return false;
        list->Add({rec.Name, dir, rec.Size, rec.Attributes, rec.Time});
        return true;
    };
    scan_.Scan();
    EXPECT_EQ(scan_.FilesCount(), 1);
    EXPECT_EQ(scan_.FilesSize(), 7);
    EXPECT_TRUE(scan_.Files().Empty());
    ASSERT_EQ(own.Count(), 1u);
    EXPECT_EQ(own[0].Directory, Root());
    EXPECT_EQ(own[0].Attributes, 0x20u);
    EXPECT_NE(own[0].Time, 0u);
}

// Links: taken as links (by their own names, never entered), or followed to what they lead to, except a
// link that leads nowhere or into a folder being walked, which stays a link.
TEST_F(FileScan, SymbolicLinksAreTakenAsLinksOrFollowedWithoutLooping) {
    fs::create_directory_symlink(dir_.Path(), dir_ / "loop");
    fs::create_symlink(dir_ / "a.txt", dir_ / "alias.txt");
    fs::create_symlink("missing", dir_ / "dangling");
    fs::create_directory_symlink("sub", dir_ / "sub-alias");
    int walks = 0;
    scan_.OnRecurseDir = [&](TObject*, const std::string&) { ++walks; };
    Names links;
    Names files;
    scan_.AddHandler = [&](TObject*, const std::string& dir, TFilesList*, const TFindRecord& rec) {
        const std::string name = dir.substr(Root().size()) + rec.Name;
        (rec.IsLink ? links : files).push_back(name + ":" + std::to_string(rec.Size));
        return true;
    };
    const struct {
        bool follow;
        int walks;
        Names links;
        Names files;
    } cases[] = {
        {false, 2, {"alias.txt:0", "dangling:0", "loop:0", "sub-alias:0"},
         {".dot.txt:2", "a.txt:5", "ab.txt:3", "b.log:7", "ro.txt:4", "sub/c.txt:4"}},
        {true, 3, {"dangling:0", "loop:0"},
         {".dot.txt:2", "a.txt:5", "ab.txt:3", "alias.txt:5", "b.log:7", "ro.txt:4", "sub-alias/c.txt:4", "sub/c.txt:4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.follow);
        walks = 0;
        links.clear();
        files.clear();
        scan_.FollowLinks = c.follow;
        scan_.Scan();
        std::sort(links.begin(), links.end());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(walks, c.walks);
        EXPECT_EQ(links, c.links);
        EXPECT_EQ(files, c.files);
    }
}

TEST_F(FileScan, WithoutRecursionEachLineLooksInItsDirectoryOnly) {
    std::vector<std::string> roots;
    scan_.OnRootDirChange = [&](TObject*, const std::string& dir) { roots.push_back(dir); };
    scan_.RecurseDirs = false;
    scan_.SetFileSpec({Root() + "*.txt", Root() + "B.LOG", Root() + "sub/c.txt"});
    scan_.Scan();
    // A name without wildcards is the file system's exact name.
    EXPECT_EQ(ListedSorted(), (Names{".dot.txt", "a.txt", "ab.txt", "ro.txt", "sub/c.txt"}));
    EXPECT_EQ(roots, (Names{Root(), Root() + "sub/"}));
    EXPECT_EQ(scan_.FileSpec.size(), 3u);
}

TEST_F(FileScan, CancelStopsTheScanThroughASharedFlag) {
    bool owner_cancel = true;  // cleared when the scan starts
    scan_.SetCancelFlag(&owner_cancel);
    int pumped = 0;
    scan_.ProcessMessages = [&] { ++pumped; };
    scan_.OnScanFile = [&](TObject*, const std::string&, int, std::int64_t) { owner_cancel = true; };
    scan_.SetFileSpec({Root() + "*.txt", Root() + "sub/*"});
    scan_.Scan();
    EXPECT_EQ(scan_.FilesCount(), 1);
    EXPECT_TRUE(scan_.Cancelled());
    EXPECT_LE(pumped, 1);
    EXPECT_EQ(scan_.FileSpec.size(), 1u);  // the other directory's line was never reached
}

TEST_F(FileScan, ChangingTheOrderResortsAndReportsAgain) {
    int finished = 0;
    scan_.OnFinished = [&](TObject*, int, std::int64_t) { ++finished; };
    scan_.SetMaskText("*.txt,*.log");
    scan_.Scan();
    scan_.SetSorted(soBySize);
    EXPECT_EQ(finished, 2);
    std::vector<std::uint64_t> sizes;
    for (const auto& f : scan_.Files()) sizes.push_back(f.Size);
    EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()));
    scan_.SetSorted(soBySize);  // no change: nothing happens
    EXPECT_EQ(finished, 2);
}

TEST(FilesList, SortOrdersPutNewItemsBeforeEqualOnes) {
    TFilesList list;
    list.SetSortOrder(soByType);
    list.Add({"b.TXT", "/x/", 1, 0x20, 3});
    list.Add({"a.log", "/y/", 5, 0x20, 1});
    list.Add({"c.txt", "/X/", 1, 0x20, 2});
    const auto names = [&] {
        std::string out;
        for (const auto& f : list) out += f.Name + " ";
        return out;
    };
    EXPECT_EQ(names(), "a.log c.txt b.TXT ");  // c.txt came later than the equal b.TXT
    list.Add({"d.txt", "/z/", 1 + (std::uint64_t{1} << 32), 0x20, 0});
    EXPECT_EQ(names(), "a.log d.txt c.txt b.TXT ");

    const struct {
        TArcSortOptions order;
        const char* expected;
    } orders[] = {
        {soByName, "a.log b.TXT c.txt d.txt "},
        {soBySize, "b.TXT c.txt a.log d.txt "},  // the full 64-bit size decides
        {soByTime, "d.txt a.log c.txt b.TXT "},
        {soByPath, "c.txt b.TXT a.log d.txt "},  // equal directories keep their previous order
    };
    for (const auto& o : orders) {
        list.SetSortOrder(o.order);
        EXPECT_EQ(names(), o.expected) << o.order;
    }
}

TEST(AttributeFilter, IncludeAndExcludeTests) {
    const TArcFileAttributes defaults{fsZeroAttr, fsReadOnly, fsArchive, fsCompressed, fsEncrypted};
    const struct {
        std::uint32_t attributes;
        TArcFileAttributes include;
        TArcFileAttributes exclude;
        bool accepted;
    } cases[] = {
        {0x20, defaults, {}, true},
        {0x00, defaults, {}, true},
        {0x80, defaults, {}, true},
        {0x10, defaults, {}, false},
        {0x11, {fsDirectory}, {}, true},
        {0x02, defaults, {}, false},
        {0x22, {fsArchive, fsHidden}, {fsHidden}, false},
        {0x2000, {}, {}, true},                // not content-indexed: the include test passes
        {0x2010, {}, {fsDirectory}, false},
        {0x2000, {fsZeroAttr}, {fsZeroAttr}, true},  // that rule is not part of the exclude test
        {0x08, {fsVolumeID}, {}, false},
        {0x4800, {fsEncrypted}, {fsCompressed}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AttributeFilterAccepts(c.attributes, c.include, c.exclude), c.accepted) << std::hex << c.attributes;
    }
}

TEST(DirListing, AttributesFollowModeAndName) {
    test::TempDir dir;
    test::WriteFile(dir / "w", "1");
    test::WriteFile(dir / ".r", "1");
    ::chmod((dir / ".r").c_str(), 0444);
    std::filesystem::create_directory(dir / "d");
    ::chmod((dir / "d").c_str(), 0555);
    const auto listing = platform::ListDirectory(dir.Path().string());
    ASSERT_TRUE(listing.Opened);
    std::vector<std::string> seen;
    for (const auto& item : listing.Items) seen.push_back(item.Name + "=" + std::to_string(item.Attributes));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (Names{".r=35", "d=16", "w=32"}));
    ::chmod((dir / "d").c_str(), 0755);
    EXPECT_FALSE(platform::ListDirectory((dir / "none").string()).Opened);
}

TEST(MountPoints, RealFileSystemsInTableOrder) {
    test::TempDir dir;
    test::WriteFile(dir / "mounts",
                    "sysfs /sys sysfs rw 0 0\n"
                    "/dev/sda2 / ext4 rw 0 0\n"
                    "tmpfs /run tmpfs rw 0 0\n"
                    "/dev/sdb1 /media/USB\\040STICK vfat rw 0 0\n"
                    "server:/export /mnt/nfs nfs4 rw 0 0\n"
                    "/dev/sda2 / ext4 rw 0 0\n"
                    "garbage\n");
    EXPECT_EQ(platform::RealFileSystemMounts((dir / "mounts").string()),
              (Names{"/", "/media/USB STICK", "/mnt/nfs"}));
}

}  // namespace
}  // namespace kv
