#include "engine/core/disk_manager.h"

#include <cctype>

#include "engine/core/error_codes.h"
#include "engine/core/zip_common.h"
#include "platform/dir_probe.h"
#include "platform/paths.h"

namespace kv {
namespace {

// A handler that keeps answering "retry" for a drive that never comes back is not asked forever.
constexpr int kMaxDriveRetries = 10;
constexpr std::string_view kBackupLabel = "PKBACK# ";

}  // namespace

int BackupDiskNumber(const std::string& label) {
    if (label.size() <= kBackupLabel.size() || label.compare(0, kBackupLabel.size(), kBackupLabel) != 0) return -1;
    int number = 0;
    for (std::size_t i = kBackupLabel.size(); i < label.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(label[i])) || number > 99999) return -1;
        number = number * 10 + (label[i] - '0');
    }
    return number;
}

platform::DriveInfo TDiskManager::Query(const std::string& path) const {
    return QueryDrive ? QueryDrive(path) : platform::QueryDriveInfo(path);
}

bool TDiskManager::AskRetry(TZipCommon& owner, bool write_protected, int missing_code) {
    const TOnDiskError& handler = write_protected ? owner.OnDiskWriteProtectErr : owner.OnDiskInDrvErr;
    if (!handler) {
        owner.DoError(owner.ArchiveFile(), {}, "0", missing_code);
        return false;
    }
    bool abort = false;
    handler(&owner, abort);
    if (abort) owner.DoError(owner.ArchiveFile(), {}, "0", ecode::kUserCanceled);
    return !abort;
}

bool TDiskManager::CheckDrive(TZipCommon& owner, const std::string& archive, bool for_writing) {
    disk_number_ = -1;
    volume_label_.clear();
    removable_ = false;
    std::string folder = platform::ExtractFilePath(archive);
    if (folder.empty()) folder = platform::CurrentDirectory();

    for (int attempt = 0;; ++attempt) {
        if (attempt == kMaxDriveRetries) {
            owner.DoError(archive, {}, "0", ecode::kNotAccessible);
            return false;
        }
        const platform::DriveInfo drive = Query(folder);
        // No answer: the medium is missing (or the folder is gone with it).
        if (!drive.Valid) {
            if (!AskRetry(owner, false, ecode::kNotAccessible)) return false;
            continue;
        }
        if (for_writing && drive.Removable && !platform::IsWritableDirectory(folder)) {
            if (!AskRetry(owner, true, ecode::kDiskWriteProtected)) return false;
            continue;
        }
        removable_ = drive.Removable;
        volume_label_ = drive.VolumeLabel;
        disk_number_ = BackupDiskNumber(drive.VolumeLabel);
        return true;
    }
}

}  // namespace kv
