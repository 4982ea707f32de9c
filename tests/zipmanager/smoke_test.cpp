#include <gtest/gtest.h>

#include "support/test_support.h"
#include "zipmanager/zip_manager.h"

namespace kv {
namespace {

TEST(ZipManagerSmoke, ListsAnArchiveMadeByZip) {
    test::TempDir dir;
    test::WriteFile(dir / "one.txt", "hello");
    std::filesystem::create_directories(dir / "sub");
    test::WriteFile(dir / "sub/two.txt", "world!");
    ASSERT_EQ(test::RunCommand("cd " + dir.Path().string() + " && zip -qr a.zip one.txt sub && echo note | zip -qz a.zip"), 0);
    TZipManager zm;
    int updates = 0;
    zm.OnDirUpdate = [&](TObject*) { ++updates; };
    zm.SetUnattended(true);
    zm.SetZipFileName((dir / "a.zip").string());
    EXPECT_EQ(zm.ErrCode(), 0) << zm.Message();
    ASSERT_EQ(zm.EntryCount(), 2);
    EXPECT_EQ(zm.DirEntries()[0].Name(), "one.txt");
    EXPECT_EQ(zm.DirEntries()[1].Name(), "sub/two.txt");
    EXPECT_EQ(zm.DirEntries()[1].UnpackedSize, 6u);
    EXPECT_EQ(zm.ArchiveComment(), "note");
    EXPECT_EQ(zm.ArchiveStart(), 0);
    EXPECT_EQ(updates, 1);
    zm.SetArchiveComment("a longer comment");
    EXPECT_EQ(zm.ArchiveComment(), "a longer comment");
    EXPECT_EQ(zm.EntryCount(), 2);
    EXPECT_EQ(test::RunCommand("unzip -tq " + (dir / "a.zip").string()), 0);
}

}  // namespace
}  // namespace kv
