#pragma once

#include <functional>
#include <string>

#include "platform/drive_info.h"

namespace kv {

class TZipCommon;

// Drive checks for archives spanned over removable media: is a medium there, can it be written, and
// which disk of a backup set is it.
class TDiskManager {
public:
    // Answers the drive question; unset means the system's query. Tests put a fake here.
    std::function<platform::DriveInfo(const std::string& path)> QueryDrive;

    // Checks the drive that holds `archive` for `owner`'s operation, firing its OnDiskInDrvErr and (when
    // writing) OnDiskWriteProtectErr events; errors go through owner.DoError. True when the drive
    // answered.
    bool CheckDrive(TZipCommon& owner, const std::string& archive, bool for_writing);

    // The disk number of a "PKBACK# nnn" volume label seen by the last check; -1 without one.
    int DiskNumber() const { return disk_number_; }
    const std::string& VolumeLabel() const { return volume_label_; }
    // Whether the last checked drive holds removable media.
    bool Removable() const { return removable_; }

private:
    platform::DriveInfo Query(const std::string& path) const;
    // Asks the handler whether to try again; false when it aborts or is missing (then `missing_code`).
    bool AskRetry(TZipCommon& owner, bool write_protected, int missing_code);

    int disk_number_ = -1;
    std::string volume_label_;
    bool removable_ = false;
};

// The disk number in a spanned-set label ("PKBACK# 003" is 3); -1 when the label is not of that form.
int BackupDiskNumber(const std::string& label);

}  // namespace kv
