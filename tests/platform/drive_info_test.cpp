#include "platform/drive_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>

#include "support/test_support.h"

namespace kv::platform {
namespace {

namespace fs = std::filesystem;

TEST(DriveInfo, UnescapesUdevLabels) {
    EXPECT_EQ(UnescapeUdevLabel("PKBACK\\x23\\x20001"), "PKBACK# 001");
    EXPECT_EQ(UnescapeUdevLabel("NO\\x20NAME"), "NO NAME");
    EXPECT_EQ(UnescapeUdevLabel("plain"), "plain");
    EXPECT_EQ(UnescapeUdevLabel("bad\\xZZ\\x2"), "bad\\xZZ\\x2");
}

TEST(DriveInfo, MissingFileIsNoAnswer) { EXPECT_FALSE(QueryDriveInfo("/nonexistent/kv/file").Valid); }

TEST(DriveInfo, FindsRemovableDiskAndLabelThroughSysfs) {
    test::TempDir dir;
    const fs::path file = dir / "a.z01";
    test::WriteFile(file, "data");
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);

    // A fake tree: the file's device is partition sdz1 of the removable disk sdz, labelled "PKBACK# 001".
    const fs::path sys = dir / "sys";
    fs::create_directories(sys / "devices/sdz/sdz1");
    fs::create_directories(sys / "dev/block");
    test::WriteFile(sys / "devices/sdz/sdz1/partition", "1\n");
    test::WriteFile(sys / "devices/sdz/removable", "1\n");
    const std::string dev = std::to_string(major(status.st_dev)) + ":" + std::to_string(minor(status.st_dev));
    fs::create_directory_symlink("../../devices/sdz/sdz1", sys / "dev/block" / dev);
    const fs::path labels = dir / "by-label";
    fs::create_directories(labels);
    fs::create_symlink("../../sdy1", labels / "OTHER");
    fs::create_symlink("../../sdz1", labels / "PKBACK\\x23\\x20001");

    const DriveInfoRoots roots{(sys / "dev/block").string(), labels.string()};
    const DriveInfo info = QueryDriveInfo(file.string(), roots);
    EXPECT_TRUE(info.Valid);
    EXPECT_TRUE(info.Removable);
    EXPECT_EQ(info.VolumeLabel, "PKBACK# 001");
    EXPECT_GT(info.TotalBytes, 0u);

    test::WriteFile(sys / "devices/sdz/removable", "0\n");
    EXPECT_FALSE(QueryDriveInfo(file.string(), roots).Removable);

    // No block device behind the file (tmpfs, overlay): a fixed drive that still answers.
    const DriveInfo virtual_fs = QueryDriveInfo(file.string(), {(dir / "none").string(), labels.string()});
    EXPECT_TRUE(virtual_fs.Valid);
    EXPECT_FALSE(virtual_fs.Removable);
    EXPECT_EQ(virtual_fs.VolumeLabel, "");
}

}  // namespace
}  // namespace kv::platform
