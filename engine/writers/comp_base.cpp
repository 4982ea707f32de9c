#include "engine/writers/comp_base.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <exception>
#include <filesystem>
#include <map>
#include <set>

#include "engine/core/attribute_filter.h"
#include "engine/core/dates.h"
#include "engine/core/engine_error.h"
#include "engine/core/entry_selection.h"
#include "engine/core/error_codes.h"
#include "engine/core/file_scan.h"
#include "engine/core/percent.h"
#include "engine/core/text_case.h"
#include "platform/file_attributes_linux.h"
#include "platform/paths.h"
#include "platform/trash.h"

namespace kv {
namespace {

// A handler that keeps proposing names that are taken is not asked forever.
constexpr int kMaxRenameQuestions = 100;

bool IsBlank(const std::string& line) { return line.find_first_not_of(' ') == std::string::npos; }
bool HasWildcards(const std::string& line) { return line.find_first_of("*?") != std::string::npos; }

std::string NormalizedExt(std::string ext) {
    if (ext.empty() || ext.front() != '.') ext.insert(ext.begin(), '.');
    ext.resize(std::min<std::size_t>(ext.size(), 4));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

bool SameFile(const std::string& a, const struct stat& b) {
    struct stat st{};
    return ::stat(a.c_str(), &st) == 0 && st.st_dev == b.st_dev && st.st_ino == b.st_ino;
}

}  // namespace

TCompBase::TCompBase(TCompressMethod default_method) : compress_method_(default_method) {}

void TCompBase::SetCompressMethod(TCompressMethod value) {
    if (AcceptsMethod(value)) compress_method_ = value;
}

void TCompBase::InitDefaultExt(const std::string& base) {
    base_default_ext_ = NormalizedExt(base);
    default_ext_ = base_default_ext_;
}

void TCompBase::SetDefaultExt(const std::string& value) {
    const std::string previous = default_ext_;
    default_ext_ = value.empty() || value == "." ? base_default_ext_ : NormalizedExt(value);
    const std::string& archive = ArchiveFile();
    if (archive.empty()) return;
    const std::string ext = platform::ExtractFileExt(archive);
    if (ext.empty() || SameText(ext, previous)) SetArchiveFile(archive.substr(0, archive.size() - ext.size()) + default_ext_);
}

void TCompBase::SetArchiveFile(const std::string& name) {
    std::string native = platform::ToNativeDelimiters(name);
    if (!native.empty() && native.back() != platform::kPathDelim && platform::ExtractFileExt(native).empty()) {
        native += default_ext_;
    }
    is_new_archive_ = !native.empty() && !platform::FileExists(native);
    if (!is_new_archive_) {
        TZipCommon::SetArchiveFile(native);
        return;
    }
    TZipCommon::SetArchiveFile({});
    RestoreArchiveFile(native);
    MutableDetection().ArcType = WriterArcType();
}

bool TCompBase::FileBytesDone(std::int64_t file_total, std::int64_t& file_done, std::int64_t bytes) {
    file_done += bytes;
    BytesToProcess -= bytes;
    ReportProgress(ArchiveTotalBytes, file_total, file_done);
    return !GetCancel();
}

int TCompBase::Compress() {
    ResetOperationState();
    headers_ = TCompressHeaderObj{};
    added_.clear();
    deleted_ = 0;
    activated_ = false;
    int result = 0;
    try {
        result = Run();
    } catch (const E_RAISE&) {
        // Already reported.
    } catch (const std::exception& failure) {
        DoError(ArchiveFile(), failure.what(), "0", ecode::kUnknownError);
    } catch (...) {
        DoError(ArchiveFile(), {}, "0", ecode::kUnknownError);
    }
    if (result == 0) ProcessedCount = 0;
    old_archive_.reset();
    EndRun();
    if (activated_ && OnDeactivate) OnDeactivate(this);
    return result;
}

int TCompBase::Run() {
    const std::string archive = ArchiveFile();
    if (archive.empty()) {
        DoError({}, {}, "0", ecode::kInvalidFileName);
        return 0;
    }
    if (EncryptionMethod == emAes2_128 || EncryptionMethod == emAes2_192 || EncryptionMethod == emAes2_256) {
        EncryptionMethod = emZip_V2;
    }
    // A password the user gave is never left unused: without a method of its own it gets the classic cipher.
    entry_password_ = Password;
    if (!CheckStoredDirNames()) return 0;
    const std::string folder = platform::ExtractFilePath(archive);
    if (!folder.empty() && !platform::DirectoryExists(folder)) {
        DoError(archive, {}, "0", ecode::kInvalidDirectory);
        return 0;
    }
    const bool exists = platform::FileExists(archive);
    is_new_archive_ = !exists;

    if (Switch == swRead) {
        if (!exists) DoError(archive, {}, "0", ecode::kNothingToDoArchive);
        return exists && OpenOldArchive() ? static_cast<int>(headers_.Count()) : 0;
    }
    if ((Switch == swDelete || Switch == swRefresh) && !exists) {
        DoError(archive, {}, "0", ecode::kNothingToDoArchive);
        return 0;
    }
    if (exists && ::access(archive.c_str(), W_OK) != 0) {
        bool write_to_file = false;
        if (OnNonWriteableArchive) {
            OnNonWriteableArchive(this, archive, write_to_file);
        } else {
            DoError(archive, {}, "0", ecode::kFileIsReadOnly);
        }
        return 0;
    }

    activated_ = true;
    if (OnActivate) OnActivate(this);
    if (exists && !OpenOldArchive()) return 0;
    if (Switch == swDelete) {
        SelectForDelete();
    } else {
        GatherFiles();
    }
    if (GetCancel()) return 0;
    if (headers_.CountOf(caCompress) + headers_.CountOf(caDrop) + headers_.CountOf(caRename) == 0) {
        DoError(archive, {}, "0", ecode::kNothingToDo);
        return 0;
    }

    const std::unique_ptr<TTempArchive> temp = CreateTempArchive(CompressionMethod, TempDir());
    if (CompressionMethod == cmTempFile && temp->TempFileName().empty()) {
        DoError(TempDir(), {}, "0", ecode::kErrorCreatingFile);
        return 0;
    }
    temp->Stream().CancelFlag = CancelFlag();
    if (!Process(*temp) || !PutInPlace(*temp)) return 0;
    const int processed = ProcessedCount;
    activated_ = false;
    if (OnDeactivate) OnDeactivate(this);
    if (Switch == swMove) RemoveMovedFiles();
    return processed;
}

bool TCompBase::CheckStoredDirNames() {
    root_dir_.clear();
    if (StoredDirNames == sdExplorer_UserDefineDefaultDir) {
        if (DefaultDir.empty()) {
            DoError(ArchiveFile(), "DefaultDir", "0", ecode::kRequiredPropertyNotAssigned);
            return false;
        }
        root_dir_ = platform::ToNativeDelimiters(DefaultDir);
    } else if (StoredDirNames == sdExplorer_Auto) {
        std::vector<std::string> lines;
        for (const std::string& line : FileSpec) {
            if (!IsBlank(line)) lines.push_back(platform::ToNativeDelimiters(line));
        }
        root_dir_ = CommonRootOf(lines);
    }
    return true;
}

std::unique_ptr<THandleStream32> TCompBase::OpenArchiveForReading(const std::string& name) {
    return std::make_unique<TFileStream32>(name, TFileOpenMode::fmOpenRead);
}

bool TCompBase::OpenOldArchive() {
    old_archive_ = OpenArchiveForReading(ArchiveFile());
    if (!old_archive_->IsValid()) {
        DoError(ArchiveFile(), {}, "0", ecode::kErrorOpeningFile);
        return false;
    }
    // An archive whose directory cannot be read is never rewritten: its entries would be lost.
    if (!ReadArchive(*old_archive_, headers_)) {
        DoError(ArchiveFile(), {}, "0", ecode::kHeaderNotFound);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- gathering and decisions

void TCompBase::GatherFiles() {
    std::vector<std::string> lines;
    for (const std::string& line : FileSpec) {
        if (!IsBlank(line)) lines.push_back(platform::ToNativeDelimiters(line));
    }
    // Plain names of files are looked up one by one: a recursive scan would find the name in every folder.
    const bool plain = std::all_of(lines.begin(), lines.end(), [](const std::string& line) {
        return !HasWildcards(line) && platform::FileExists(line);
    });
    if (plain) {
        GatherDirect(lines);
    } else {
        GatherByScan(lines);
    }
    if (DateAttribute == daFileDate) return;
    std::uint32_t date = FileTimeToDosDateTime(std::time(nullptr));
    if (DateAttribute == daMaxFileDate) {
        date = 0;
        for (std::size_t i = 0; i < headers_.Count(); ++i) {
            if (headers_[i].Action == caCompress) date = std::max(date, headers_[i].DosDateTime);
        }
    }
    for (std::size_t i = 0; i < headers_.Count(); ++i) {
        if (headers_[i].Action == caCompress) headers_[i].DosDateTime = date;
    }
}

void TCompBase::GatherDirect(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (GetCancel()) return;
        struct stat st{};
        if (::lstat(line.c_str(), &st) != 0) continue;
        // Followed, a link stands for its target; one that leads nowhere stays the link it is.
        struct stat target{};
        if (FollowLinks && S_ISLNK(st.st_mode) && ::stat(line.c_str(), &target) == 0) st = target;
        const std::string name = std::filesystem::path(line).filename().string();
        const std::uint32_t attributes = platform::DosAttributes(name, st.st_mode);
        if (!AttributeFilterAccepts(attributes, Attributes, AttributesEx)) continue;
        const bool link = S_ISLNK(st.st_mode);
        Consider(line, platform::ExtractFilePath(line),
                 {name, link ? 0 : static_cast<std::uint64_t>(st.st_size), attributes, FileTimeToDosDateTime(st.st_mtime),
                  link});
    }
}

void TCompBase::SetUpScan(TArcFileScan& scan, const std::vector<std::string>& lines) {
    scan.SetFileSpec(lines);
    scan.Attributes = Attributes;
    scan.AttributesEx = AttributesEx;
    scan.RecurseDirs = RecurseDirs;
    scan.IncludeHiddenDirs = IncludeHiddenDirs;
    scan.FollowLinks = FollowLinks;
    scan.SetRootDir(platform::CurrentDirectory());
    scan.ProcessMessages = ProcessMessages;
    scan.SetCancelFlag(CancelFlag());
    scan.OnRecurseDir = [this](TObject*, const std::string& dir) {
        if (OnRecurseDir) OnRecurseDir(this, dir);
    };
}

void TCompBase::GatherByScan(const std::vector<std::string>& lines) {
    TArcFileScan scan;
    SetUpScan(scan, lines);
    if (StoreEmptySubDirs) scan.Attributes.Include(fsDirectory);
    // The scanner names the directory it walks for a line; the stored names need the line's as written.
    std::map<std::string, std::string> written;
    for (const std::string& line : lines) {
        const std::string dir = platform::ExtractFilePath(line);
        written.emplace(dir.empty() ? platform::CurrentDirectory() : dir, dir);
    }
    std::string line_dir;
    scan.OnRootDirChange = [&](TObject*, const std::string& dir) {
        const auto found = written.find(dir);
        line_dir = found != written.end() ? found->second : dir;
    };
    scan.AddHandler = [&](TObject*, const std::string& directory, TFilesList*, const TFindRecord& record) {
        const bool folder = (record.Attributes & platform::kFaDirectory) != 0;
        Consider(folder ? directory : directory + record.Name, line_dir, record);
        return true;
    };
    // The scanner starts by clearing the flag it shares: a cancel given before it ran must stand.
    if (!GetCancel()) scan.Scan();
}

void TCompBase::Consider(const std::string& disk_path, const std::string& line_dir, const TFindRecord& found) {
    const bool folder = !disk_path.empty() && disk_path.back() == platform::kPathDelim;
    if (folder) {
        std::error_code error;
        if (!StoreEmptySubDirs || !std::filesystem::is_empty(disk_path, error) || error) return;
    }
    if (old_archive_) {
        // The archive never goes into itself.
        struct stat archive{};
        // By name: the stream read may be the unpacked contents of a compressed archive.
        if (::stat(ArchiveFile().c_str(), &archive) == 0 && SameFile(disk_path, archive)) return;
    }
    if (IsExcludedEntry(disk_path, ExcludeSpec, RecurseDirs)) {
        if (OnExcludeFile) OnExcludeFile(this, disk_path);
        return;
    }
    TCompressHeader file;
    file.StoredName = StoredNameFor(disk_path, {StoredDirNames, line_dir, root_dir_});
    if (file.StoredName.empty()) return;
    file.Action = caCompress;
    file.DiskPath = disk_path;
    file.IsDirectory = folder;
    file.IsLink = found.IsLink;
    file.UnpackedSize = folder ? 0 : found.Size;
    file.DosDateTime = found.Time;
    file.Attributes = found.Attributes;
    Decide(std::move(file));
}

void TCompBase::Decide(TCompressHeader file) {
    const std::optional<std::size_t> found = headers_.Find(file.StoredName);
    if (!found) {
        if (Switch != swRefresh) headers_.Add(std::move(file));
        return;
    }
    const TCompressHeader& old = headers_[*found];
    if (!old.IsOldEntry()) return;  // found twice on disk: the first one counts
    const bool same = old.UnpackedSize == file.UnpackedSize && old.DosDateTime == file.DosDateTime &&
                      (old.Attributes & 0xFF) == (file.Attributes & 0xFF);
    const auto replace = [&] {
        file.Replaces = *found;
        headers_.SetAction(*found, caDrop);
        headers_.Add(std::move(file));
    };
    if (Switch == swRefresh) {
        if (!same && file.DosDateTime > old.DosDateTime) replace();
        return;
    }
    if (!same) {
        if (!OnReplaceFile) {
            CurrentStoredName = old.StoredName;
            ReportMissingEvent("OnReplaceFile");
            return;
        }
        bool replace_it = false;
        OnReplaceFile(this, old.StoredName, file.DiskPath, DosDateTimeToDateTime(old.DosDateTime),
                      DosDateTimeToDateTime(file.DosDateTime), static_cast<std::int64_t>(old.UnpackedSize),
                      static_cast<std::int64_t>(file.UnpackedSize), static_cast<int>(old.Attributes),
                      static_cast<int>(file.Attributes), replace_it);
        if (replace_it) {
            replace();
            return;
        }
    }
    if (AskRename(*found)) headers_.Add(std::move(file));
}

bool TCompBase::AskRename(std::size_t old_index) {
    if (!OnRenameDupeFile) return false;
    const std::string old_name = headers_[old_index].StoredName;
    std::string new_name = old_name;
    for (int question = 0; question < kMaxRenameQuestions; ++question) {
        bool rename = false;
        OnRenameDupeFile(this, old_name, new_name, rename);
        if (!rename) return false;
        std::string clean = SafeStoredName(platform::ToNativeDelimiters(new_name));
        if (!clean.empty() && old_name.back() == '/' && clean.back() != '/') clean += '/';
        if (clean.empty() || clean == old_name) return false;
        if (!headers_.Find(clean)) {
            headers_.Rename(old_index, std::move(clean));
            return true;
        }
    }
    return false;
}

void TCompBase::SelectForDelete() {
    // Unlike the scan, deleting honours ExcludeSpec too: an entry the user excluded is never deleted.
    const TExcludeNotify excluded = [this](const std::string& name) {
        if (OnExcludeFile) OnExcludeFile(this, name);
    };
    // Masks match names in any case; a plain name is one entry's exact name ("a.h" and "A.h" are two
    // files on this system), a folder's with or without its final "/".
    std::vector<std::string> masks;
    std::set<std::string> names;
    for (const std::string& line : FileSpec) {
        if (IsBlank(line)) continue;
        if (HasWildcards(line)) {
            masks.push_back(line);
        } else {
            names.insert(platform::ToNativeDelimiters(line));
        }
    }
    const std::vector<std::string> every_name{"*"};
    for (std::size_t i = 0; i < headers_.Count(); ++i) {
        const std::string& name = headers_[i].StoredName;
        const bool named = names.contains(name) || (name.ends_with('/') && names.contains(name.substr(0, name.size() - 1)));
        if (ListerSelects(name, named ? every_name : masks, ExcludeSpec, excluded)) headers_.SetAction(i, caDrop);
    }
}

// ---------------------------------------------------------------- processing

bool TCompBase::Process(TTempArchive& temp) {
    for (std::size_t i = 0; i < headers_.Count(); ++i) {
        const TCompressHeader& item = headers_[i];
        if (item.Action == caCompress) ArchiveTotalBytes += static_cast<std::int64_t>(item.UnpackedSize);
        if (item.Action == caKeep || item.Action == caRename) ArchiveTotalBytes += item.Size;
    }
    BytesToProcess = ArchiveTotalBytes;
    if (!BeginArchive(temp.Stream(), old_archive_.get(), headers_)) {
        DoError(ArchiveFile(), {}, "0", ecode::kErrorWritingToFile);
        return false;
    }
    const std::size_t drops = headers_.CountOf(caDrop);
    for (std::size_t i = 0; i < headers_.Count(); ++i) {
        if (GetCancel()) return false;
        const TCompressHeader& item = headers_[i];
        switch (item.Action) {
            case caCompress:
                if (!ProcessNew(i)) return false;
                break;
            case caKeep:
            case caRename:
                CurrentStoredName = item.StoredName;
                if (!CopyItem(item)) {
                    DoError(ArchiveFile(), item.StoredName, "0", ecode::kErrorWritingToFile);
                    return false;
                }
                if (item.Action == caRename) ++ProcessedCount;
                BytesToProcess -= item.Size;
                ReportProgress(ArchiveTotalBytes, item.Size, item.Size);
                break;
            case caDrop:
                // An entry being replaced is not deleted; its file is added further on.
                if (Switch != swDelete) break;
                ++deleted_;
                ++ProcessedCount;
                if (OnDeleteFile) OnDeleteFile(this, item.StoredName, deleted_, static_cast<int>(drops));
                break;
        }
    }
    if (GetCancel()) return false;
    if (!FinishArchive()) {
        DoError(ArchiveFile(), {}, "0", ecode::kErrorWritingToFile);
        return false;
    }
    return true;
}

bool TCompBase::ProcessNew(std::size_t index) {
    const TCompressHeader& item = headers_[index];
    CurrentStoredName = item.StoredName;
    const std::int64_t remaining_after = BytesToProcess - static_cast<std::int64_t>(item.UnpackedSize);
    // An entry whose file does not make it into the archive stays as it was.
    const auto keep_replaced = [&] {
        BytesToProcess = remaining_after;
        if (item.Replaces == kNoIndex || CopyItem(headers_[item.Replaces])) return true;
        DoError(ArchiveFile(), headers_[item.Replaces].StoredName, "0", ecode::kErrorWritingToFile);
        return false;
    };
    bool take = true;
    if (OnBegin) OnBegin(this, item.DiskPath, ProcessedCount + 1, take);
    if (GetCancel()) return false;
    if (!take) {
        SkipItem(index);
        return keep_replaced();
    }
    switch (CompressItem(index, item)) {
        case TItemOutcome::ioDone:
            BytesToProcess = remaining_after;
            ++ProcessedCount;
            added_.push_back(index);
            if (OnEnd) OnEnd(this, item.DiskPath, true);
            return true;
        case TItemOutcome::ioFileFailed: return keep_replaced();
        case TItemOutcome::ioArchiveFailed: DoError(ArchiveFile(), item.DiskPath, "0", ecode::kErrorWritingToFile); return false;
        case TItemOutcome::ioCancelled: return false;
    }
    return false;
}

bool TCompBase::PutInPlace(TTempArchive& temp) {
    temp.FileOps = TempFileOps;
    temp.OnTmpFileMoveBegin = [this](const std::string& archive, const std::string& temp_file, bool& cancel) {
        if (OnTmpFileMoveBegin) OnTmpFileMoveBegin(this, archive, temp_file, cancel);
    };
    temp.OnTmpFileProgress = [this](std::int64_t done, std::int64_t total) {
        const std::uint8_t percent = Percent(done, total);
        if (OnTmpFileProgress) OnTmpFileProgress(this, percent, percent);
    };
    temp.OnTmpFileMoveEnd = [this](const std::string&) {
        if (OnTmpFileMoveEnd) OnTmpFileMoveEnd(this);
    };
    temp.OnMoveError = [this](int code, const std::string& file) { DoError(file, {}, "0", code); };
    old_archive_.reset();
    if (temp.MoveOverArchive(ArchiveFile()) != 0) return false;
    is_new_archive_ = false;
    return true;
}

void TCompBase::RemoveMovedFiles() {
    TCompressHeaderObj finished;
    if (VerifyBeforeDelete) {
        const std::unique_ptr<THandleStream32> archive = OpenArchiveForReading(ArchiveFile());
        if (!archive->IsValid() || !ReadArchive(*archive, finished)) {
            DoError(ArchiveFile(), {}, "0", ecode::kHeaderNotFound);
            return;
        }
    }
    const bool allow_undo = DeleteOptions == doAllowUndo;
    // Files first, then the folders (deepest first) that were stored empty and still are.
    for (std::size_t pass = 0; pass < 2; ++pass) {
        for (auto it = added_.rbegin(); it != added_.rend(); ++it) {
            const TCompressHeader& item = headers_[*it];
            if (item.IsDirectory != (pass == 1)) continue;
            if (VerifyBeforeDelete && !finished.Find(item.StoredName)) continue;
            std::error_code error;
            const bool removed = item.IsDirectory ? std::filesystem::remove(item.DiskPath, error)
                                                  : platform::RemoveFile(item.DiskPath, allow_undo);
            if (!removed) DoError(item.DiskPath, {}, "0", ecode::kErrorDeletingFiles);
        }
    }
}

}  // namespace kv
