#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/kv_object.h"
#include "zipmanager/sfx_builder.h"
#include "zipmanager/zip_core.h"

namespace kv {

// The component through which the program handles ZIP archives (plain, self-extracting, spanned). It stays
// attached to one archive: writing ZipFileName reads its directory, and the operations run one at a time.
// Properties live in the core (the SFX ones in the self-extractor builder); a guarded property ignores
// writes while an operation runs and marks the re-entry instead.
class TZipManager : public TObject {
    // Declared first: the event references below are bound to the core's handlers.
    std::unique_ptr<TZipCore> core_;
    std::unique_ptr<TSfxBuilder> sfx_;
    bool busy_ = false;

public:
    static constexpr int kNotReady = -255;

    TZipManager();
    ~TZipManager() override;

    // --- state ---
    bool Active() const { return core_->Active(); }
    // Turning active runs a remembered List, then a remembered comment write.
    void SetActive(bool active) { core_->SetActive(active); }
    bool Busy() const { return busy_; }
    // Set when something tried to change a guarded property or a locked list during the last operation.
    bool ReEntry() const { return core_->ReEntry; }
    int ErrCode() const { return core_->ErrCode(); }
    const std::string& Message() const { return core_->Message(); }
    void SetCancel(bool value) { core_->SetCancel(value); }

    // --- directory ---
    // Reads the directory again; ErrCode afterwards, or kNotReady.
    int List();
    int EntryCount() const { return Active() ? core_->EntryCount() : 0; }
    const std::vector<ZipDirEntry>& DirEntries() const { return core_->DirEntries(); }
    const std::string& ArchiveComment() const { return core_->ArchiveComment(); }
    void SetArchiveComment(const std::string& comment);
    std::int64_t ArchiveStart() const { return core_->ArchiveStart(); }

    // --- operations (each returns kNotReady when not ready) ---
    // ErrCode afterwards; the directory is read again when files were processed.
    int Add();
    int Delete();
    // Extracts, or with ExtrTest tests; empties FSpecArgs. ErrCode afterwards.
    int Extract();
    // 0, or -7 (wildcard or archive error), -8 (out of memory), -9 (other failure), -10 (a file renamed to a
    // folder name). A non-zero `date_time` (MS-DOS) becomes the date of every entry.
    int Rename(const std::vector<ZipRenameRec>& renames, std::uint32_t date_time = 0);
    // The number of files the last Add, Delete or Extract processed.
    int SuccessCount() const { return core_->SuccessCount(); }

    // --- published properties ---
    const std::string& ZipFileName() const { return core_->ZipFileName; }
    // Reads the new archive's directory (or remembers to, while not active).
    void SetZipFileName(const std::string& name);
    bool Verbose() const { return core_->Verbose; }
    void SetVerbose(bool value) { core_->Verbose = value; }
    bool Trace() const { return core_->Trace; }
    void SetTrace(bool value) { core_->Trace = value; }
    bool Unattended() const { return core_->Unattended; }
    void SetUnattended(bool value) { core_->Unattended = value; }
    int AddCompLevel() const { return core_->AddCompLevel; }
    void SetAddCompLevel(int value) { Guarded(core_->AddCompLevel, value); }
    AddOpts AddOptions() const { return core_->AddOptions; }
    void SetAddOptions(AddOpts value) { Guarded(core_->AddOptions, value); }
    double AddFrom() const { return core_->AddFrom; }
    void SetAddFrom(double value) { core_->AddFrom = value; }
    const std::string& ExtrBaseDir() const { return core_->ExtrBaseDir; }
    void SetExtrBaseDir(const std::string& value) { Guarded(core_->ExtrBaseDir, value); }
    ExtrOpts ExtrOptions() const { return core_->ExtrOptions; }
    void SetExtrOptions(ExtrOpts value) { Guarded(core_->ExtrOptions, value); }
    TShieldStringList& FSpecArgs() { return core_->FSpecArgs; }
    void SetFSpecArgs(const TShieldStringList& value) { Guarded(core_->FSpecArgs, value); }
    TShieldStringList& FSpecArgsExcl() { return core_->FSpecArgsExcl; }
    void SetFSpecArgsExcl(const TShieldStringList& value) { Guarded(core_->FSpecArgsExcl, value); }
    const std::string& Password() const { return core_->Password; }
    void SetPassword(const std::string& value) { core_->Password = value; }
    const std::string& DLLDirectory() const { return core_->DLLDirectory; }
    // A trailing delimiter is removed.
    void SetDLLDirectory(const std::string& value);
    const std::string& TempDir() const { return core_->TempDir; }
    void SetTempDir(const std::string& value) { core_->TempDir = value; }
    CodePageOpts CodePage() const { return core_->CodePage; }
    void SetCodePage(CodePageOpts value) { core_->CodePage = value; }
    // The OEM code page names and comments are converted from ("866", "CP932", ...); empty is the program's.
    // False, keeping the old one, when the system does not know it.
    const std::string& OemCodePage() const { return core_->OemCodePage; }
    bool SetOemCodePage(const std::string& value);
    DeleteOpts HowToDelete() const { return core_->HowToDelete; }
    void SetHowToDelete(DeleteOpts value) { core_->HowToDelete = value; }
    static std::string VersionInfo() { return "1.76"; }
    AddStoreExts AddStoreSuffixes() const { return core_->AddStoreSuffixes; }
    void SetAddStoreSuffixes(AddStoreExts value) { Guarded(core_->AddStoreSuffixes, value); }
    const std::string& ExtAddStoreSuffixes() const { return core_->ExtAddStoreSuffixes; }
    // Normalised on write (".mp3:.ogg:"); a non-empty text adds assEXT to AddStoreSuffixes, an empty one
    // removes it.
    void SetExtAddStoreSuffixes(const std::string& value);
    // The cipher AddEncrypt writes: emZip_V2 (the classic ZIP cipher, the default) or one of the WinZip AES
    // methods (emAes1_* and emAes2_*). Other methods are refused (false) and the old one kept.
    TEncryptionMethod AddEncryptMethod() const { return core_->AddEncryptMethod; }
    bool SetAddEncryptMethod(TEncryptionMethod value);
    std::uint32_t PasswordReqCount() const { return core_->PasswordReqCount; }
    // Values above 15 become 15.
    void SetPasswordReqCount(std::uint32_t value) { core_->PasswordReqCount = value > 15 ? 15 : value; }
    bool UseDirOnlyEntries() const { return core_->UseDirOnlyEntries; }
    void SetUseDirOnlyEntries(bool value);
    const std::string& RootDir() const { return core_->RootDir; }
    void SetRootDir(const std::string& value) { Guarded(core_->RootDir, value); }
    SpanOpts SpanOptions() const { return core_->SpanOptions; }
    void SetSpanOptions(SpanOpts value) { Guarded(core_->SpanOptions, value); }
    bool ConfirmErase() const { return core_->ConfirmErase; }
    void SetConfirmErase(bool value) { core_->ConfirmErase = value; }
    std::uint32_t KeepFreeOnDisk1() const { return core_->KeepFreeOnDisk1; }
    void SetKeepFreeOnDisk1(std::uint32_t value) { core_->KeepFreeOnDisk1 = value; }
    std::uint32_t KeepFreeOnAllDisks() const { return core_->KeepFreeOnAllDisks; }
    void SetKeepFreeOnAllDisks(std::uint32_t value) { core_->KeepFreeOnAllDisks = value; }
    std::int32_t MaxVolumeSize() const { return core_->MaxVolumeSize; }
    void SetMaxVolumeSize(std::int32_t value) { core_->MaxVolumeSize = value; }
    std::int32_t MinFreeVolumeSize() const { return core_->MinFreeVolumeSize; }
    void SetMinFreeVolumeSize(std::int32_t value) { core_->MinFreeVolumeSize = value; }

    // --- self-extractor settings ---
    const std::string& SFXCaption() const { return sfx_->Caption; }
    void SetSFXCaption(const std::string& value) { sfx_->Caption = value; }
    const std::string& SFXCommandLine() const { return sfx_->CommandLine; }
    void SetSFXCommandLine(const std::string& value) { sfx_->CommandLine = value; }
    const std::string& SFXDefaultDir() const { return sfx_->DefaultDir; }
    void SetSFXDefaultDir(const std::string& value) { sfx_->DefaultDir = value; }
    const std::vector<std::uint8_t>& SFXIcon() const { return sfx_->Icon; }
    void SetSFXIcon(const std::vector<std::uint8_t>& value) { sfx_->Icon = value; }
    const std::string& SFXMessage() const { return sfx_->Message(); }
    void SetSFXMessage(const std::string& value) { sfx_->SetMessage(value); }
    TSFXOptions SFXOptions() const { return sfx_->Options; }
    void SetSFXOptions(TSFXOptions value) { sfx_->Options = value; }
    TSFXOverwriteMode SFXOverWriteMode() const { return sfx_->OverwriteMode; }
    void SetSFXOverWriteMode(TSFXOverwriteMode value) { sfx_->OverwriteMode = value; }
    const std::string& SFXPath() const { return sfx_->StubPath; }
    void SetSFXPath(const std::string& value) { sfx_->StubPath = value; }

    // --- user interface and environment ---
    // Where message boxes and the busy cursor go; the headless prompter until the GUI sets its own.
    void SetPrompter(TZipPrompter& prompter) { core_->Prompter = &prompter; }
    // Pumps the GUI's message queue during long operations.
    void SetProcessMessages(std::function<void()> pump) { core_->ProcessMessages = std::move(pump); }
    // Replaces the drive query (removable media and labels); tests fake it.
    void SetDriveQuery(std::function<platform::DriveInfo(const std::string&)> query) {
        core_->QueryDrive = std::move(query);
    }

    // Replaces the file-system calls that put a renamed archive in place; tests make them fail.
    void SetFileOps(platform::TFileOps ops) { core_->FileOps = std::move(ops); }

    // --- events (the core's handlers; assign them directly) ---
    TZipNotifyEvent& OnDirUpdate;
    TTotalProgressEvent& OnTotalProgress;
    TItemProgressEvent& OnItemProgress;
    TProgressDetailsEvent& OnProgressDetails;
    TProgressEvent& OnProgress;
    TZipMessageEvent& OnMessage;
    TSetNewNameEvent& OnSetNewName;
    TNewNameEvent& OnNewName;
    TCRC32ErrorEvent& OnCRC32Error;
    TPasswordErrorEvent& OnPasswordError;
    TExtractOverwriteEvent& OnExtractOverwrite;
    TExtractSkippedEvent& OnExtractSkipped;
    TCopyZipOverwriteEvent& OnCopyZipOverwrite;
    TFileCommentEvent& OnFileComment;
    TFileExtraEvent& OnFileExtra;
    TAfterCallbackEvent& OnAfterCallback;
    TZipNotifyEvent& OnTick;
    TSetAddNameEvent& OnSetAddName;
    TSetExtNameEvent& OnSetExtName;
    TGetNextDiskEvent& OnGetNextDisk;
    TStatusDiskEvent& OnStatusDisk;
    // Process-wide: replaces the message lookup of every ZIP manager.
    static void SetOnZipStr(TZipStrEvent handler) { SetZipStrHandler(std::move(handler)); }

private:
    bool Ready() const { return Active() && !busy_; }
    template <class T>
    void Guarded(T& field, const T& value) {
        if (busy_) {
            core_->MarkReEntry();
            return;
        }
        field = value;
    }
    // Runs `operation` inside the busy bracket; kNotReady when the component is not ready.
    template <class Operation>
    int RunBusy(Operation&& operation) {
        if (!Ready()) return kNotReady;
        busy_ = true;
        core_->ReEntry = false;
        core_->SetCancel(false);  // a cancel ends the operation it stopped, not every later one
        // A handler that throws out of an operation must not leave the component busy for good.
        struct TBracket {
            TZipManager& owner;
            ~TBracket() {
                owner.core_->EndBusy();
                owner.busy_ = false;
            }
        };
        core_->BeginBusy();
        const TBracket bracket{*this};
        return operation();
    }
};

}  // namespace kv
