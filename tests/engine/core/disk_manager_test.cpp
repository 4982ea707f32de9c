#include "engine/core/disk_manager.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "engine/core/custom_dclass.h"
#include "engine/core/error_codes.h"
#include "support/test_support.h"

namespace kv {
namespace {

platform::DriveInfo Drive(bool valid, bool removable = true, const std::string& label = "") {
    platform::DriveInfo drive;
    drive.Valid = valid;
    drive.Removable = removable;
    drive.VolumeLabel = label;
    return drive;
}

TEST(BackupDiskNumber, ReadsOnlyTheSpannedSetLabel) {
    EXPECT_EQ(BackupDiskNumber("PKBACK# 003"), 3);
    EXPECT_EQ(BackupDiskNumber("PKBACK# 12"), 12);
    EXPECT_EQ(BackupDiskNumber("PKBACK# "), -1);
    EXPECT_EQ(BackupDiskNumber("PKBACK# 1a"), -1);
    EXPECT_EQ(BackupDiskNumber("DATA"), -1);
}

TEST(DiskManager, DriveProtocol) {
    struct Case {
        const char* name;
        std::vector<platform::DriveInfo> answers;  // the last one repeats
        bool for_writing;
        bool assign_handler;
        bool abort;
        bool ok;
        std::vector<int> codes;
        int asked;
        int disk;
    };
    const std::vector<Case> cases = {
        {"present", {Drive(true, true, "PKBACK# 003")}, false, false, false, true, {}, 0, 3},
        {"inserted after asking", {Drive(false), Drive(true)}, false, true, false, true, {}, 1, -1},
        {"aborted", {Drive(false)}, false, true, true, false, {ecode::kUserCanceled}, 1, -1},
        {"no handler", {Drive(false)}, false, false, false, false, {ecode::kNotAccessible}, 0, -1},
        {"never inserted", {Drive(false)}, false, true, false, false, {ecode::kNotAccessible}, 10, -1},
        {"write protected, no handler", {Drive(true)}, true, false, false, false, {ecode::kDiskWriteProtected}, 0, -1},
        {"fixed drive is not probed", {Drive(true, false)}, true, false, false, true, {}, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TUnBase owner;
        std::vector<int> codes;
        owner.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
            codes.push_back(code);
        };
        int asked = 0;
        if (c.assign_handler) {
            owner.OnDiskInDrvErr = [&](TObject*, bool& abort) {
                ++asked;
                abort = c.abort;
            };
        }
        std::deque<platform::DriveInfo> answers(c.answers.begin(), c.answers.end());
        owner.DiskManager.QueryDrive = [&](const std::string&) {
            const platform::DriveInfo drive = answers.front();
            if (answers.size() > 1) answers.pop_front();
            return drive;
        };
        // Nothing can be created below /proc, whoever runs the tests.
        EXPECT_EQ(owner.DiskManager.CheckDrive(owner, "/proc/kavrel/set.zip", c.for_writing), c.ok);
        EXPECT_EQ(codes, c.codes);
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(owner.DiskManager.DiskNumber(), c.disk);
    }
}

TEST(DiskManager, ExtractingAVolumeSetChecksTheDriveFirst) {
    test::TempDir dir;
    test::WriteFile(dir / "set.zip", std::string("PK\x07\x08PK\x03\x04", 8) + std::string(60, '\0'));
    TUnBase reader;
    reader.SetArchiveFile((dir / "set.zip").string());
    ASSERT_EQ(reader.ArcType(), atZipMV);
    std::vector<int> codes;
    bool activated = false;
    reader.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        codes.push_back(code);
    };
    reader.OnActivate = [&](TObject*) { activated = true; };
    reader.DiskManager.QueryDrive = [](const std::string&) { return Drive(false); };
    EXPECT_EQ(reader.TestArchive(), 0);
    EXPECT_FALSE(activated);
    EXPECT_EQ(codes, std::vector<int>{ecode::kNotAccessible});
}

}  // namespace
}  // namespace kv
