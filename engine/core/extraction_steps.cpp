// The per-entry steps shared by every reader: output path, begin and overwrite, output file or link,
// password, closing with date and attributes, the folders' permissions and dates at the end.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <ctime>

#include "engine/core/custom_dclass.h"
#include "engine/core/dates.h"
#include "engine/core/entry_selection.h"
#include "engine/core/error_codes.h"
#include "engine/core/link_target.h"
#include "engine/core/memory_stream.h"
#include "engine/core/output_path.h"
#include "engine/core/text_case.h"
#include "platform/dir_probe.h"
#include "platform/file_attributes_linux.h"
#include "platform/output_files.h"
#include "platform/output_tree.h"
#include "platform/paths.h"

namespace kv {
namespace {

// How often OnFileExists may propose another existing name before the entry is skipped.
constexpr int kMaxRenameRounds = 100;

std::string VolumeId(const std::string& volume) { return volume.empty() ? "0" : volume; }

// The folder outputs go to: ExtractDir, or the current folder when there is none.
std::string OutputBase(const std::string& extract_dir) {
    return extract_dir.empty() ? platform::CurrentDirectory() : extract_dir;
}

}  // namespace

bool TUnBase::SelectEntry(const std::string& name) {
    return kv::SelectEntry(name, FileSpec, ExcludeSpec, RecurseDirs, [this](const std::string& file_name) {
        if (OnExcludeFile) OnExcludeFile(this, file_name);
    });
}

void TCustomDClass::SetOutputName(const std::string& stored_name) {
    CurrentStoredName = stored_name;
    OutputFailed = false;
    const std::string base = OutputBase(ExtractDir());
    OutputTree.SetBase(base);
    CurrentOutputPath = BuildOutputPath(base, stored_name, UseStoredDirs).value_or(std::string());
}

bool TCustomDClass::BeginFile(bool skip_checks) {
    if (skip_checks) return true;
    Timer.Pause();
    const bool accepted = [&] {
        if (CurrentOutputPath.empty()) {
            DoError(CurrentStoredName, {}, VolumeId(CurrentVolumeName), ecode::kInvalidFileName);
            return false;
        }
        const bool writing = OutputMode == TOutputMode::omFiles;
        bool renamed = false;
        if (writing && OnRenameFile) {
            std::string new_name = CurrentOutputPath;
            OnRenameFile(this, CurrentOutputPath, new_name);
            if (!new_name.empty() && new_name != CurrentOutputPath) {
                CurrentOutputPath = new_name;
                renamed = true;
                platform::ForceDirectories(platform::ExtractFilePath(CurrentOutputPath));
            }
        }
        bool extract = true;
        if (OnBegin) OnBegin(this, writing ? CurrentOutputPath : CurrentStoredName, ProcessedCount + 1, extract);
        if (GetCancel() || !extract) return false;
        if (!writing) return true;

        // A folder or file below the destination that is a symbolic link would carry the output elsewhere.
        // When every file is written whatever lies there, only the way to it needs a look: what is there
        // counts as missing.
        const bool overwrite_all = !ConfirmOverwrites && OverwriteMode == omOverwrite;
        using enum platform::TOutputPathState;
        platform::TOutputPathState state = opsMissing;
        if (overwrite_all && !renamed) state = OutputTree.WayInside(CurrentOutputPath) ? opsMissing : opsRefused;
        else if (!renamed) state = OutputTree.Inspect(CurrentOutputPath);
        if (state == opsRefused) {
            DoError(CurrentOutputPath, {}, VolumeId(CurrentVolumeName), ecode::kInvalidFileName);
            return false;
        }
        const bool exists = renamed ? platform::FileExists(CurrentOutputPath) : state == opsFile || state == opsLink;
        if (!ConfirmOverwrites) {
            // Skipping means leaving existing files alone; new ones are still written.
            return OverwriteMode == omOverwrite || !exists;
        }
        OverwriteMode = omOverwrite;
        if (exists) {
            if (!OnFileExists) {
                ReportMissingEvent("OnFileExists");
                OverwriteMode = omSkip;
            } else {
                for (int round = 0; round < kMaxRenameRounds; ++round) {
                    std::string new_name;
                    OnFileExists(this, CurrentOutputPath, new_name, OverwriteMode);
                    const std::string path = new_name.empty() ? CurrentOutputPath : new_name;
                    platform::ForceDirectories(platform::ExtractFilePath(path));
                    const bool same = SameText(path, CurrentOutputPath);
                    CurrentOutputPath = path;
                    if ((OverwriteMode == omOverwrite && same) || GetCancel() || OverwriteMode == omSkip ||
                        !platform::FileExists(CurrentOutputPath))
                        break;
                    if (round + 1 == kMaxRenameRounds) OverwriteMode = omSkip;
                }
            }
        }
        return !GetCancel() && OverwriteMode == omOverwrite && !CurrentOutputPath.empty();
    }();
    if (accepted) ++ProcessedCount;
    Timer.Resume();
    return accepted;
}

bool TCustomDClass::OpenEntryOutput(const TEntryRecord& entry, bool link_data) {
    if (OpenOutput(link_data)) return true;
    DoError(CurrentOutputPath, {}, "0", ecode::kErrorOpeningFile);
    --ProcessedCount;
    SkipEntry(entry);
    return false;
}

bool TCustomDClass::OpenOutput(bool link_data) {
    Output.reset();
    pending_.Discard();
    output_is_link_ = false;
    OutputFailed = false;
    if (OutputMode == TOutputMode::omNowhere) return true;
    if (OutputMode == TOutputMode::omAppend) {
        Output = std::make_unique<TFileStream32>(CurrentOutputPath, TFileOpenMode::fmOpenReadWrite);
        return static_cast<TFileStream32&>(*Output).IsValid() && Output->Seek(0, TSeekOrigin::soEnd) >= 0;
    }
    if (!MakeOutputFolder(platform::ExtractFilePath(CurrentOutputPath))) return false;
    if (link_data) {
        auto target = std::make_unique<TMemoryStream32>();
        target->SetSizeLimit(PATH_MAX - 1);
        Output = std::move(target);
        output_is_link_ = true;
        return true;
    }
    // A new file beside the old one: that also replaces read-only files and never writes through a link
    // into another file.
    const int handle = pending_.CreateFile(CurrentOutputPath);
    if (handle < 0) return false;
    Output = std::make_unique<THandleStream32>(handle, true);
    return true;
}

bool TCustomDClass::GetPassword(TStream32& archive) {
    if (EncryptionMethod != emZip_V2) return false;
    TCipherHeader header{};
    {
        TTimerPause pause(Timer);
        if (ReadBlock(archive, kCipherHeaderSize, kNoCrc, false, header.data()) != kCipherHeaderSize) return false;
    }
    return FindPassword([&] { return CheckPassword(header); });
}

bool TCustomDClass::FindPassword(const std::function<bool()>& opens) {
    TTimerPause pause(Timer);
    bool passed = opens();
    for (std::size_t line = 0; !passed && line < Passwords.size(); ++line) {
        if (Passwords[line].empty()) continue;
        Password = Passwords[line];
        passed = opens();
    }
    const std::string& name = OutputMode == TOutputMode::omFiles ? CurrentOutputPath : CurrentStoredName;
    if (!passed && !OnGetPassword) {
        ReportMissingEvent("OnGetPassword");
    } else {
        for (int attempt = 0; !passed && attempt < PasswordAttempts && !GetCancel(); ++attempt) {
            // The seeds, not the key states: a password tried before has left the data keys wherever it led,
            // and keys taken from there would seed every later try wrongly.
            TSeedKeyRecord header_keys = CipherSeed(TSeedKind::skHeader);
            TSeedKeyRecord data_keys = CipherSeed(TSeedKind::skData);
            bool try_again = true;
            OnGetPassword(this, name, Password, header_keys, data_keys, try_again);
            SeedHeaderKeys.Assign(header_keys);
            SeedDataKeys.Assign(data_keys);
            if (!try_again) {
                DoError(name, std::string(LoadStr(ecode::kUserCanceled)), VolumeId(CurrentVolumeName),
                        ecode::kInvalidPassword);
                break;
            }
            if (opens()) {
                Passwords.insert(Passwords.begin(), Password);
                passed = true;
            } else {
                Crc32Value = 0xFFFFFFFFu;
                DoError(name, Password, VolumeId(CurrentVolumeName), ecode::kInvalidPassword);
                Password.clear();
            }
        }
    }
    return passed;
}

timespec TCustomDClass::OutputTime(std::uint32_t dos_date_time, const std::optional<TPreciseTime>& mod_time) const {
    if (mod_time && DateAttribute == daFileDate)
        return {static_cast<std::time_t>(mod_time->Seconds), static_cast<long>(mod_time->Nanoseconds)};
    const TDateTime date = DateAttribute == daSysDate      ? UnixTimeToDateTime(std::time(nullptr))
                           : DateAttribute == daMaxFileDate ? NewestFileDate
                                                            : DosDateTimeToDateTime(dos_date_time);
    return {DateTimeToFileTime(date), 0};
}

void TCustomDClass::CloseOutput(std::uint32_t attributes, std::uint32_t dos_date_time,
                               const std::optional<TPreciseTime>& mod_time) {
    if (OutputMode != TOutputMode::omFiles || !Output) {
        Output.reset();
        return;
    }
    if (output_is_link_) {
        auto& data = static_cast<TMemoryStream32&>(*Output);
        const std::string target(reinterpret_cast<const char*>(data.Memory()), static_cast<std::size_t>(data.Size()));
        Output.reset();
        output_is_link_ = false;
        if (!OutputFailed && !RestoreSymbolicLink(target, dos_date_time, mod_time)) {
            // Reported as the failed writes are: the entry is not counted.
            OutputFailed = true;
            --ProcessedCount;
        }
        return;
    }
    auto& file = static_cast<THandleStream32&>(*Output);
    // Time and permissions go through the handle while it is open, sparing two lookups of the path per
    // file. The data is all written by now (Linux's network file systems flush it before they set a time).
    platform::SetFileTime(file.Handle(), OutputTime(dos_date_time, mod_time));
    if (RestoreFileAttr) {
        // Readers that know a Unix writer's permissions pass them in the high half, as ZIP stores them.
        if (const std::uint32_t unix_mode = attributes >> 16; (unix_mode & 0777) != 0)
            platform::ApplyUnixPermissions(file.Handle(), unix_mode, KeepSpecialBits);
        else if (attributes != platform::kFaArchive)
            platform::ApplyDosAttributes(file.Handle(), attributes);
    }
    const bool closed = file.Close();
    Output.reset();
    if (!closed && !OutputFailed) {
        DoError(CurrentOutputPath, {}, VolumeId(CurrentVolumeName), ecode::kErrorClosingFile);
        OutputFailed = true;
    }
}

bool TCustomDClass::RestoreSymbolicLink(const std::string& target, std::uint32_t dos_date_time,
                                        const std::optional<TPreciseTime>& mod_time) {
    if (OutputMode != TOutputMode::omFiles) return true;
    pending_.Discard();
    const std::string folder = platform::ExtractFilePath(CurrentOutputPath);
    const bool inside = OutputTree.Contains(CurrentOutputPath) && target.find('\0') == std::string::npos &&
                        ResolveLinkTarget(folder.substr(OutputTree.Base().size()), target).has_value();
    if (!inside) {
        // The link would lead out of the extraction folder (or the output itself lies elsewhere).
        DoError(CurrentStoredName, target, VolumeId(CurrentVolumeName), ecode::kInvalidFileName);
        return false;
    }
    if (!MakeOutputFolder(folder) || !pending_.CreateSymbolicLink(target, CurrentOutputPath)) {
        DoError(CurrentOutputPath, {}, VolumeId(CurrentVolumeName), ecode::kErrorOpeningFile);
        return false;
    }
    platform::SetFileTime(pending_.TempPath(), OutputTime(dos_date_time, mod_time));
    return true;
}

bool TCustomDClass::RestoreHardLink(const std::string& existing) {
    if (OutputMode != TOutputMode::omFiles) return true;
    return MakeOutputFolder(platform::ExtractFilePath(CurrentOutputPath)) &&
           pending_.CreateHardLink(existing, CurrentOutputPath);
}

void TCustomDClass::CreateStoredDirectory(const std::string& stored_name, std::uint32_t attributes,
                                          std::uint32_t dos_date_time, const std::optional<TPreciseTime>& mod_time) {
    if (OutputMode != TOutputMode::omFiles || !CreateStoredDirs || !UseStoredDirs) return;
    // A folder's stored name usually ends with a delimiter, which would leave no last part to build.
    std::string_view name = stored_name;
    while (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.remove_suffix(1);
    const std::string base = OutputBase(ExtractDir());
    OutputTree.SetBase(base);
    const auto path = BuildOutputPath(base, name, true);
    if (!path || OutputTree.Inspect(*path) == platform::TOutputPathState::opsRefused ||
        !OutputTree.MakeFolder(platform::IncludeTrailingDelimiter(*path)))
        return;
    if (dos_date_time == 0 && !mod_time) return;
    const std::uint32_t unix_mode = attributes >> 16;
    folders_.push_back({*path, RestoreFileAttr && (unix_mode & 0777) != 0 ? std::optional(unix_mode) : std::nullopt,
                        OutputTime(dos_date_time, mod_time)});
}

void TCustomDClass::FinishFolders() {
    const auto depth = [](const TFolderFinish& folder) {
        return std::count(folder.Path.begin(), folder.Path.end(), platform::kPathDelim);
    };
    // Inner folders first: a folder's own permissions may keep even its owner out of it.
    std::stable_sort(folders_.begin(), folders_.end(),
                     [&](const TFolderFinish& a, const TFolderFinish& b) { return depth(a) > depth(b); });
    for (const TFolderFinish& folder : folders_) {
        if (OutputTree.Inspect(folder.Path) != platform::TOutputPathState::opsFolder) continue;
        std::optional<mode_t> permissions;
        if (folder.UnixMode) permissions = platform::RestoredPermissions(*folder.UnixMode, KeepSpecialBits);
        platform::FinishFolder(folder.Path, permissions, folder.Time);
    }
    folders_.clear();
}

bool TCustomDClass::MakeOutputFolder(const std::string& folder) {
    // Folders a renamed output lies in may be anywhere the user chose.
    return OutputTree.Contains(folder) ? OutputTree.MakeFolder(folder) : platform::ForceDirectories(folder);
}

}  // namespace kv
