// The facade's operations that change an archive or take entries out of it.
#include <ctime>
#include <exception>
#include <filesystem>
#include <system_error>

#include "engine/core/arc_type.h"
#include "engine/core/dates.h"
#include "engine/core/packed_tar_types.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/format_readers.h"
#include "engine/writers/format_writers.h"
#include "facade/add_specs.h"
#include "facade/arc_capabilities.h"
#include "facade/kv_comp.h"
#include "platform/paths.h"
#include "zipmanager/zip_manager.h"

namespace kv::facade {
namespace {

namespace fs = std::filesystem;

bool IsFolder(const std::string& path) { return platform::DirectoryExists(path); }

// Puts the process's current folder back when an operation ends, however it ends.
class TCurrentFolderGuard {
public:
    TCurrentFolderGuard() {
        std::error_code error;
        saved_ = fs::current_path(error);
    }
    ~TCurrentFolderGuard() {
        std::error_code error;
        if (!saved_.empty()) fs::current_path(saved_, error);
    }
    TCurrentFolderGuard(const TCurrentFolderGuard&) = delete;
    TCurrentFolderGuard& operator=(const TCurrentFolderGuard&) = delete;

private:
    fs::path saved_;
};

bool MakeFolder(const std::string& folder) {
    if (folder.empty()) return false;
    std::error_code error;
    fs::create_directories(folder, error);
    return platform::DirectoryExists(folder);
}

}  // namespace

// ---- choosing the entries ----

bool TkvComp::ChooseEntries() {
    if (!arc_open_) return false;
    switch (ActionMode) {
        case amAll: FileSpec = {"*.*"}; break;
        case amSelected:
            FileSpec = SelectedEntryNames();
            if (FileSpec.empty() && tree_view_) FileSpec = EntriesUnder(tree_view_->SelectedFolder()).value_or(FileSpec);
            break;
        case amCustom: break;
    }
    return !FileSpec.empty();
}

std::vector<std::string> TkvComp::SelectedEntryNames() const {
    std::vector<std::string> names;
    if (!list_view_) return names;
    for (const std::string& name : list_view_->SelectedNames()) {
        if (name.empty() || name.back() != platform::kPathDelim) {
            names.push_back(name);
            continue;
        }
        const auto under = EntriesUnder(name);
        if (under) names.insert(names.end(), under->begin(), under->end());
    }
    return names;
}

// ---- Add ----

int TkvComp::Add() {
    status_ = asCompressing;
    const TCurrentFolderGuard folder;
    int result = 0;
    try {
        if (!IsWritableType(arc_type_))
            result = kNoWriter;
        else if (route_ == TEngineRoute::erZipManager)
            AddThroughZipManager();
        else
            result = AddThroughWriter();
    } catch (const std::exception& failure) {
        ReportFailure(failure);
    }
    EndOperation();
    return result;
}

void TkvComp::AddThroughZipManager() {
    TZipManager& zm = *zip_manager_;
    AddOpts options;
    if (AddMode == amMove) options.Include(AddMove);
    if (AddMode == amFreshen) options.Include(AddFreshen);
    if (AddMode == amUpdate) options.Include(AddUpdate);
    SpanOpts span;
    if (DoSpan) {
        options.Include(AddDiskSpan);
        zm.SetMaxVolumeSize(static_cast<std::int32_t>(std::min<std::int64_t>(SpanningOptions.MaxVolumeSize, INT32_MAX)));
        if (SpanningOptions.DeleteFiles) span.Include(spWipeFiles);
        if (!SpanningOptions.VolumeNaming) span.Include(spNoVolumeName);
    }
    zm.SetSpanOptions(span);

    const TZipAddSpecs specs = ZipAddSpecs(FileSpec, AddOptions.Has(aoRecurse), AddOptions.Has(aoFullPath), IsFolder);
    if (specs.DropRecurse) AddOptions.Exclude(aoRecurse);
    zm.FSpecArgs().Assign(specs.Specs);
    zm.SetRootDir(specs.RootDir);
    zm.FSpecArgsExcl().Assign(FileSpecExcl);

    if (AddOptions.Has(aoDirNames) || AddOptions.Has(aoFullPath)) options.Include(AddDirNames);
    if (AddOptions.Has(aoSeparateDirs) || AddOptions.Has(aoEmptyDirs)) options.Include(AddSeparateDirs);
    if (AddOptions.Has(aoHidden)) options.Include(AddHiddenFiles);
    if (AddOptions.Has(aoFormat83)) options.Include(AddForceDOS);
    if (FollowLinks) options.Include(AddFollowLinks);
    if (!Password.empty()) options.Include(AddEncrypt);
    if (AddOptions.Has(aoSpan)) options.Include(AddDiskSpan);
    zm.SetPassword(Password);
    zm.SetAddEncryptMethod(AddEncryptMethod);

    if (SimpleCompressionOptions) SetSimpleCompressionFactor(compression_factor_);
    zm.SetAddCompLevel(ZipAddCompLevel);
    zm.SetAddOptions(options);
    // A new archive is named to the ZIP manager by its first add.
    if (zm.ZipFileName().empty()) zm.SetZipFileName(platform::AbsolutePath(arc_filename_));
    try {
        zm.Add();
    } catch (const std::exception& failure) {
        ReportFailure(failure);
    }
    is_new_archive_ = !platform::FileExists(arc_filename_);
}

int TkvComp::AddThroughWriter() {
    std::unique_ptr<TCompBase> writer = CreateWriter(arc_type_);
    if (!writer) {
        ReportUnsupported();
        return kNoWriter;
    }
    ConnectWriter(*writer);
    writer->RecurseDirs = AddOptions.Has(aoRecurse);
    writer->StoredDirNames = AddOptions.Has(aoFullPath)   ? sdAbsoluteNoDrv
                             : AddOptions.Has(aoDirNames) ? sdRelativeStoreStart
                                                          : sdNone;
    writer->StoreEmptySubDirs = AddOptions.Has(aoEmptyDirs);
    writer->FollowLinks = FollowLinks;
    // Hidden files are taken on request, as the ZIP path takes them.
    if (AddOptions.Has(aoHidden)) {
        writer->Attributes.Include(fsHidden);
        writer->IncludeHiddenDirs = true;
    }
    writer->Password = Password;
    writer->FileSpec = PlainAddSpecs(FileSpec, IsFolder);
    writer->ExcludeSpec = FileSpecExcl;
    // Update adds new files as well as newer ones (the replace question decides by date); freshen only
    // refreshes what is there.
    writer->Switch = AddMode == amMove ? swMove : AddMode == amFreshen ? swRefresh : swAdd;
    if (SimpleCompressionOptions) SetSimpleCompressionFactor(compression_factor_);
    writer->SetCompressMethod(EngCompressMethod);
    // The file on disk decides between TAR and TAR.GZ: packing an open x.tar would leave it, the archive in
    // view, as it was beside a new x.tar.gz, and a plain TAR must not be written into x.tar.gz.
    if (IsTarWriterType(arc_type_)) writer->SetCompressMethod(TarMethodFor(arc_type_));
    writer->DeflateType = EngDeflateType;
    writer->SetArchiveFile(arc_filename_);
    running_engine_ = writer.get();
    writer->Compress();
    running_engine_ = nullptr;
    writer.reset();
    // A first add that failed has made no file: the new archive stays attached as it was.
    if (platform::FileExists(arc_filename_)) Reload();
    return 0;
}

// ---- Extract and Test ----

bool TkvComp::Extract() { return RunExtraction(false); }
bool TkvComp::Test() { return RunExtraction(true); }

bool TkvComp::RunExtraction(bool test) {
    status_ = asExtracting;
    bool unusable_folder = false;
    try {
        if (ChooseEntries()) {
            // The ZIP path runs inside the extraction folder: no path it is given may depend on the current one.
            extract_folder_ = ExtDir.empty() ? std::string() : platform::IncludeTrailingDelimiter(platform::AbsolutePath(ExtDir));
            if (!test && !MakeFolder(extract_folder_))
                unusable_folder = true;
            else if (route_ == TEngineRoute::erZipManager)
                ExtractThroughZipManager(test);
            else
                ExtractThroughReader(test);
        }
    } catch (const std::exception& failure) {
        ReportFailure(failure);
    }
    EndOperation();
    return unusable_folder;
}

void TkvComp::ExtractThroughZipManager(bool test) {
    TZipManager& zm = *zip_manager_;
    zm.FSpecArgs().Assign(FileSpec);
    zm.FSpecArgsExcl().Assign(FileSpecExcl);
    ExtrOpts options;
    if (test) {
        options.Include(ExtrTest);
    } else {
        zm.SetExtrBaseDir(extract_folder_);
        if (ExtOptions.Has(eoDirNames)) options.Include(ExtrDirNames);
        if (ExtOptions.Has(eoOverWrite)) options.Include(ExtrOverWrite);
        if (ExtOptions.Has(eoUpdate)) options.Include(ExtrUpdate);
        if (ExtOptions.Has(eoFreshen)) options.Include(ExtrFreshen);
        if (ExtOptions.Has(eoKeepSpecialBits)) options.Include(ExtrKeepSpecialBits);
    }
    zm.SetExtrOptions(options);
    remembered_overwrite_ = ExtOptions.Has(eoOverWrite) ? komOverwriteAll : komNotSet;
    // The password the caller gave is tried first; OnPassword is asked when it does not open an entry.
    zm.SetPassword(Password);
    zm.SetPasswordReqCount(PasswordReqCount);
    const TCurrentFolderGuard folder;
    std::error_code error;
    if (!test) fs::current_path(extract_folder_, error);
    zm.Extract();
}

void TkvComp::ExtractThroughReader(bool test) {
    if (!(test ? IsTestableType(arc_type_) : IsDecompressableType(arc_type_))) return;
    std::unique_ptr<TUnBase> reader = CreateReader(arc_type_);
    if (!reader) {
        ReportUnsupported();
        return;
    }
    ConnectReader(*reader);
    reader->SetArchiveFile(lister_ ? lister_->ArchiveFile() : arc_filename_);
    reader->FileSpec = FileSpec;
    if (!test) reader->SetExtractDir(extract_folder_);
    reader->UseStoredDirs = ExtOptions.Has(eoDirNames);
    reader->CreateStoredDirs = ExtOptions.Has(eoDirNames);
    reader->ConfirmOverwrites = !ExtOptions.Has(eoOverWrite);
    reader->OverwriteMode = ExtOptions.Has(eoOverWrite) ? omOverwrite : omSkip;
    reader->KeepSpecialBits = ExtOptions.Has(eoKeepSpecialBits);
    if (FormatOf(arc_type_).Has(ftTextTranslation)) reader->AsciiTranslation = ASCIITranslation;
    reader->Password = Password;
    reader->PasswordAttempts = PasswordReqCount;
    reader->NameCodePage = name_code_page_;
    running_engine_ = reader.get();
    if (test)
        reader->TestArchive();
    else
        reader->Extract();
    running_engine_ = nullptr;
}

// ---- Delete ----

void TkvComp::Delete() {
    status_ = asDeleting;
    try {
        if (ChooseEntries()) {
            if (route_ == TEngineRoute::erZipManager) {
                zip_manager_->FSpecArgs().Assign(FileSpec);
                zip_manager_->FSpecArgsExcl().Assign(FileSpecExcl);
                zip_manager_->Delete();
            } else if (IsWritableType(arc_type_)) {
                std::unique_ptr<TCompBase> writer = CreateWriter(arc_type_);
                if (!writer) {
                    ReportUnsupported();
                } else {
                    ConnectWriter(*writer);
                    writer->SetArchiveFile(arc_filename_);
                    writer->FileSpec = FileSpec;
                    writer->ExcludeSpec = FileSpecExcl;
                    writer->Switch = swDelete;
                    running_engine_ = writer.get();
                    writer->Compress();
                    running_engine_ = nullptr;
                    writer.reset();
                    Reload();
                }
            }
        }
    } catch (const std::exception& failure) {
        ReportFailure(failure);
    }
    EndOperation();
}

// ---- RenameEntries ----

int TkvComp::RenameEntries() {
    if (route_ != TEngineRoute::erZipManager) {
        if (OnMessage) OnMessage(this, kNoEngineObject, {});
        return kNoEngineObject;
    }
    try {
        zip_manager_->Rename(RenameList, FileTimeToDosDateTime(std::time(nullptr)));
    } catch (const std::exception& failure) {
        ReportFailure(failure);
    }
    RenameList.clear();
    return 0;
}

// ---- shared ----

void TkvComp::EndOperation() {
    running_engine_ = nullptr;
    FileSpec.clear();
    FileSpecExcl.clear();
    Password.clear();
    // Also when nobody listened to the engine's end: the facade must not stay busy.
    status_ = asReady;
    remembered_overwrite_ = komNotSet;
    password_tries_left_ = PasswordReqCount;
    progress_ = {};
    ForgetEntryIndex();
}

}  // namespace kv::facade
