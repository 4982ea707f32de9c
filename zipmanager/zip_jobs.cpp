// Add, Delete and Extract: jobs for the engine libraries built from the component's settings.
#include <filesystem>
#include <new>

#include "engine/core/oem_names.h"
#include "engine/core/text_case.h"
#include "platform/paths.h"
#include "zipmanager/zip_core.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

constexpr int kZipEngFatal = 10101;
constexpr int kNoZipFile = 10102;
constexpr int kNothingToZip = 10301;
constexpr int kUnattendedNoPassword = 10302;
constexpr int kSpannedFreshen = 10303;
constexpr int kAutoSfxFailed = 10304;
constexpr int kDestinationMissing = 10308;
constexpr int kSpannedWriteUnavailable = 10309;
constexpr int kNothingToDelete = 10401;
constexpr int kSpannedDelete = 10402;
constexpr int kUnzEngFatal = 10501;
constexpr int kUnattendedExtract = 10502;
constexpr int kExtractDirMissing = 10504;
constexpr int kSpannedReadUnavailable = 10505;
constexpr int kSpannedSfx = 11041;
// What building an empty self-extractor answers while no stub can be written (message 10802's number).
constexpr int kNoSfxStub = 10802;

constexpr int kRequiredVersion = kZipEngVersion;

bool HasExeExtension(const std::string& name) { return SameText(platform::ExtractFileExt(name), ".exe"); }

// Creates `folder` with every missing level; whether it exists afterwards.
bool ForceDirectories(const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    return platform::DirectoryExists(folder);
}

// Releases a library's operation reason when the operation ends, however it ends.
class TOperationLoad {
public:
    explicit TOperationLoad(TZipLibLoader& library) : library_(library) {}
    ~TOperationLoad() { library_.ReleaseOperation(); }
    TOperationLoad(const TOperationLoad&) = delete;
    TOperationLoad& operator=(const TOperationLoad&) = delete;

private:
    TZipLibLoader& library_;
};

}  // namespace

void TZipCore::FillZipCommand(TZipJobRecord& job, const std::string& target, AddOpts options) {
    ZipCommand& c = job.Command;
    TJobStrings& strings = job.Strings;
    c.Handle = nullptr;
    c.Caller = this;
    c.Version = kZipEngVersion;
    c.Callback = &TZipCore::EngineCallback;
    c.Trace = JobFlag(Trace);
    c.Password = strings.KeepOrNull(Password);
    c.StoreSuffixes = strings.KeepOrNull(StoreSuffixList(AddStoreSuffixes, ExtAddStoreSuffixes));
    c.Encrypt = JobFlag(options.Has(AddEncrypt));
    c.HiddenFiles = JobFlag(options.Has(AddHiddenFiles));
    c.Volume = JobFlag(options.Has(AddVolume));
    c.NoSeparateDirs = JobFlag(!options.Has(AddSeparateDirs));
    c.FollowLinks = JobFlag(options.Has(AddFollowLinks));
    c.FromDate = JobFlag(options.Has(AddFromDate));
    c.Verbose = JobFlag(Verbose || Trace);
    c.Quiet = -1;
    c.Level = AddCompLevel;
    const std::int32_t strength = AesStrengthOf(AddEncryptMethod);
    c.AesStrength = strength < 0 ? zasClassic : strength;
    c.Threads = 0;
    c.JunkDirNames = JobFlag(!options.Has(AddDirNames));
    c.Recurse = options.Has(AddRecurseDirs) ? kRecurseWord : 0;
    c.NotSafe = JobFlag(!options.Has(AddSafe));
    c.ForceDos = JobFlag(options.Has(AddForceDOS));
    c.Move = JobFlag(options.Has(AddMove));
    c.Update = JobFlag(options.Has(AddUpdate));
    c.Freshen = JobFlag(options.Has(AddFreshen) && !options.Has(AddUpdate));
    c.ZipTime = JobFlag(options.Has(AddZipTime));
    const std::string from = AddFromText(AddFrom);
    std::copy(from.begin(), from.begin() + sizeof c.FromDateText, c.FromDateText);
    c.ZipFileName = strings.Keep(target);
    c.TempDir = strings.KeepOrNull(TempDir);
    c.ArchiveComment = strings.KeepOrNull(ArchiveComment());
    c.ArchiveOnly = options.Has(AddArchiveOnly) ? 1 : 0;
    c.ResetArchive = options.Has(AddResetArchive) ? 1 : 0;
    c.AllowUndo = JobFlag(HowToDelete == htdAllowUndo);
    // The engine writes OEM names in the program's OEM code page only: in another one chosen for this
    // archive they would read wrong, so new names are written as flagged UTF-8 then.
    const bool program_oem = OemCodePage.empty() || IconvCodePageName(OemCodePage) == kv::OemCodePage();
    c.CodePage = CodePage == cpOEM && program_oem ? 2 : 0;
    c.Version2 = kZipEngVersion;
    std::error_code error;
    c.RootDir = RootDir.empty() ? nullptr : strings.Keep(fs::absolute(RootDir, error).string());
    c.Check = kZipEngRecordCheck;
}

void TZipCore::FillUnzipCommand(TUnzipJobRecord& job, const std::string& archive) {
    UnzipCommand& c = job.Command;
    c.Handle = nullptr;
    c.Caller = this;
    c.Version = unz_eng_->Version();
    c.Callback = &TZipCore::EngineCallback;
    c.Trace = JobFlag(Trace);
    c.Password = job.Strings.Keep(Password);
    c.Test = JobFlag(ExtrOptions.Has(ExtrTest));
    c.Quiet = -1;
    c.Verbose = JobFlag(Verbose || Trace);
    c.Update = JobFlag(ExtrOptions.Has(ExtrUpdate));
    c.Freshen = JobFlag(ExtrOptions.Has(ExtrFreshen) && !ExtrOptions.Has(ExtrUpdate));
    c.DirNames = JobFlag(ExtrOptions.Has(ExtrDirNames));
    c.OverWrite = JobFlag(ExtrOptions.Has(ExtrOverWrite));
    c.KeepSpecialBits = JobFlag(ExtrOptions.Has(ExtrKeepSpecialBits));
    c.ZipFileName = job.Strings.Keep(archive);
    c.PasswordReqCount = static_cast<std::int32_t>(PasswordReqCount);
    c.ExtractDir = nullptr;
    if (!ExtrBaseDir.empty() && !ExtrOptions.Has(ExtrTest)) {
        if (ExtrOptions.Has(ExtrForceDirs)) ForceDirectories(ExtrBaseDir);
        if (!platform::DirectoryExists(ExtrBaseDir))
            throw EZipManager(kExtractDirMissing, std::vector<TZipMessageArg>{ExtrBaseDir});
        c.ExtractDir = job.Strings.Keep(ExtrBaseDir);
    }
    c.NameCodePage = job.Strings.KeepOrNull(ChosenCodePage());
    c.Check = kZipEngRecordCheck;
}

template <typename Engine, typename JobRecord>
int TZipCore::RunJob(Engine& engine, JobRecord& job) {
    job.LinkTables();
    job.Command.Check = kZipEngRecordCheck;
    EventExceptionText.clear();
    extra_answer_.clear();
    return engine.Exec(job.Command);
}

bool TZipCore::LoadEngine(TZipLibLoader& engine) {
    try {
        engine.LoadForOperation(kRequiredVersion);
        return true;
    } catch (const EZipManager& error) {
        ShowException(error);
        return false;
    }
}

int TZipCore::ReportJobErrors(int fatal_id, const std::function<int()>& job) {
    try {
        return job();
    } catch (EZipManager& error) {
        error.Message += EventExceptionText;
        ShowException(error);
    } catch (...) {
        ShowMessage(fatal_id);
    }
    return 0;
}

int TZipCore::Add() {
    ClearError();
    success_count_ = 0;
    // The options and lines this run works with; the properties themselves stay as the caller set them.
    AddOpts options = AddOptions;
    std::vector<std::string> lines = FSpecArgs.ToVector();
    if (lines.empty()) {
        if (!options.Has(AddFreshen) && !options.Has(AddUpdate)) {
            ShowMessage(kNothingToZip);
            return ErrCode();
        }
        options.Exclude(AddUpdate);
        options.Include(AddFreshen);
        lines.push_back("*.*");
    }
    if (options.Has(AddDiskSpanErase)) options.Include(AddDiskSpan);
    if (ZipFileName.empty()) {
        ShowMessage(kNoZipFile);
        return ErrCode();
    }
    if (Unattended && options.Has(AddEncrypt) && Password.empty()) {
        ShowMessage(kUnattendedNoPassword);
        return ErrCode();
    }
    if (options.Has(AddDiskSpan)) {
        if (options.Has(AddFreshen) || options.Has(AddUpdate)) {
            ShowMessage(kSpannedFreshen);
        } else if (HasExeExtension(ZipFileName)) {
            ShowMessage(kSpannedSfx);
        } else {
            // Writing the volumes of a set comes with the spanning work; until then the job is not run at
            // all rather than made into a temporary archive that nothing could place.
            ShowMessage(kSpannedWriteUnavailable);
        }
        return ErrCode();
    }
    if (zip_running_) return ErrCode();
    if (HasExeExtension(ZipFileName) && ArchiveStart() == 0 && !platform::FileExists(ZipFileName)) {
        // The self-extractor stub is written by the self-extractor work, which is not there yet.
        ShowException(EZipManager(kAutoSfxFailed, std::vector<TZipMessageArg>{std::int64_t{kNoSfxStub}}));
        return ErrCode();
    }
    if (!LoadEngine(*zip_eng_)) return ErrCode();
    TOperationLoad release(*zip_eng_);
    {
        TRunningMark running(zip_running_);
        SetCancel(false);
        const TBusyScope busy(*this);
        success_count_ = AddJob(lines, options);
        SetCancel(false);
    }
    if (success_count_ > 0) List();
    return ErrCode();
}

int TZipCore::AddJob(const std::vector<std::string>& lines, AddOpts options) {
    return ReportJobErrors(kZipEngFatal, [&] {
        TZipJobRecord job;
        FillZipCommand(job, ZipFileName, options);
        std::string folder = platform::ExtractFilePath(ZipFileName);
        if (folder.size() > 1 && folder.back() == platform::kPathDelim) folder.pop_back();
        if (!folder.empty()) {
            if (options.Has(AddForceDest)) ForceDirectories(folder);
            if (!platform::DirectoryExists(folder))
                throw EZipManager(kDestinationMissing, std::vector<TZipMessageArg>{folder});
        }
        const std::uint16_t recurse = job.Command.Recurse;
        for (const std::string& line : lines) {
            const TSpecLine parsed = ParseSpecLine(line, job.Command.Encrypt, recurse);
            ZipSpecEntry entry{};
            entry.FileSpec = job.Strings.KeepOrNull(parsed.FileSpec);
            entry.Password = parsed.HasPassword ? job.Strings.Keep(parsed.Password) : job.Command.Password;
            entry.Encrypt = parsed.Encrypt;
            entry.Recurse = parsed.Recurse;
            job.Specs.push_back(entry);
        }
        for (const std::string& exclusion : FSpecArgsExcl.ToVector()) job.Excludes.push_back(job.Strings.Keep(exclusion));
        return RunJob(*zip_eng_, job);
    });
}

int TZipCore::Delete() {
    ClearError();
    success_count_ = 0;
    if (FSpecArgs.Count() == 0) {
        ShowMessage(kNothingToDelete);
        return 0;
    }
    if (!platform::FileExists(ZipFileName)) {
        ShowMessage(kNoZipFile);
        return ErrCode();
    }
    try {
        const bool found = LocateArchive(true) == TLocateResult::Found;
        CloseInput();
        if (found && end_.ThisDisk != 0) throw EZipManager(kSpannedDelete);
    } catch (const EZipManager& error) {
        CloseInput();
        ShowException(error);
        return ErrCode();
    }
    if (zip_running_) return 0;
    {
        TRunningMark running(zip_running_);
        SetCancel(false);
        if (!LoadEngine(*zip_eng_)) return ErrCode();
        TOperationLoad release(*zip_eng_);
        success_count_ = DeleteJob();
        SetCancel(false);
    }
    if (success_count_ > 0) List();
    return ErrCode();
}

int TZipCore::DeleteJob() {
    return ReportJobErrors(kZipEngFatal, [&] {
        TZipJobRecord job;
        FillZipCommand(job, ZipFileName, AddOptions);
        ZipCommand& c = job.Command;
        c.DeleteEntries = -1;
        c.Encrypt = 0;
        c.JunkDirNames = 0;
        c.Recurse = 0;
        c.NotSafe = 0;
        c.Move = 0;
        c.Update = 0;
        c.Freshen = 0;
        for (const std::string& line : FSpecArgs.ToVector()) {
            ZipSpecEntry entry{};
            entry.FileSpec = job.Strings.Keep(line);
            job.Specs.push_back(entry);
        }
        return RunJob(*zip_eng_, job);
    });
}

int TZipCore::Extract() {
    ClearError();
    success_count_ = 0;
    const std::uint32_t saved_requests = PasswordReqCount;
    if (ZipFileName.empty()) {
        ShowMessage(kNoZipFile);
        return ErrCode();
    }
    if (dir_entries_.empty()) {
        List();
        if (dir_entries_.empty()) {
            if (ErrCode() == 0) ShowMessage(zmsg::kZipNotOpened);
            return ErrCode();
        }
    }
    if (unzip_running_) return ErrCode();
    if (Unattended && Password.empty() && !OnPasswordError) {
        PasswordReqCount = 0;
        ShowMessage(kUnattendedExtract);
    }
    SetCancel(false);
    {
        TRunningMark running(unzip_running_);
        ExtractJob();
    }
    // Emptied whether or not the lines are locked: they were this run's.
    const bool locked = FSpecArgs.Locked();
    FSpecArgs.SetLocked(false);
    FSpecArgs.Clear();
    FSpecArgs.SetLocked(locked);
    PasswordReqCount = saved_requests;
    SetCancel(false);
    return ErrCode();
}

void TZipCore::ExtractJob() {
    if (spanned_ && !fixed_drive_) {
        // Asking for the disks of a set on removable media comes with the spanning work. The volumes of a
        // split set on a fixed disk lie beside each other, and the unzip engine follows them itself.
        ShowMessage(kSpannedReadUnavailable);
        return;
    }
    if (!LoadEngine(*unz_eng_)) return;
    TOperationLoad release(*unz_eng_);
    success_count_ = ReportJobErrors(kUnzEngFatal, [&] {
        TUnzipJobRecord job;
        FillUnzipCommand(job, ZipFileName);
        const std::vector<std::string> lines = FSpecArgs.ToVector();
        if (!lines.empty() && lines.front() != "*.*") {
            for (const std::string& line : lines) {
                UnzipSpecEntry entry{};
                entry.FileSpec = job.Strings.Keep(line);
                job.Specs.push_back(entry);
            }
        }
        return RunJob(*unz_eng_, job);
    });
}

}  // namespace kv
