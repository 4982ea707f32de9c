#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/kv_object.h"
#include "zipmanager/ezip_manager.h"
#include "zipmanager/prog_details.h"
#include "zipmanager/zip_events.h"
#include "zipmanager/zip_prompter.h"

namespace kv {

// The kinds of report the core and the engine libraries make.
enum TZipReportKind {
    rkTick = 0, rkNewItem = 1, rkBytesDone = 2, rkEndOfBatch = 3, rkMessage = 4, rkFileCount = 5, rkByteTotal = 6,
    rkNewStep = 15, rkStepProgress = 16, rkAfterRequest = 18,
};

// What every part of the ZIP manager shares: the event handlers, the last message and its code, the cancel
// flag, the folders and switches, the busy cursor and the progress accounting.
class TZipBase {
public:
    TZipBase() = default;
    TZipBase(const TZipBase&) = delete;
    TZipBase& operator=(const TZipBase&) = delete;
    virtual ~TZipBase() = default;

    // --- overridable steps ---
    virtual void SetCancel(bool value) { cancel_ = value; }
    // Report kinds without a documented effect.
    virtual void ReportOther(int kind, int arg, std::int64_t size, const std::string& text);
    virtual void BeginBusy();
    virtual void EndBusy();

    bool Cancel() const { return cancel_; }
    int ErrCode() const { return err_code_; }
    int FullErrCode() const { return full_err_code_; }
    const std::string& Message() const { return message_; }

    // One progress or diagnostic report (see TZipReportKind); afterwards the owner may abort or the
    // message queue is pumped.
    void Report(int kind, int arg, std::int64_t size, const std::string& text);
    // An error or warning by id: the text (plus `suffix`) becomes the last message and ErrCode the id; a
    // message box shows it unless Unattended; then OnMessage.
    void ShowMessage(int id, const std::string& suffix = {});
    // A caught EZipManager, reported the same way; its ShowDialog decides about the message box.
    void ShowException(const EZipManager& error);
    // A diagnostic line (only meant for Verbose runs): OnMessage with code 0, never a message box.
    void Diagnostic(const std::string& text) { Report(rkMessage, 0, 0, text); }

    // A fresh name for a temporary file in TempDir (else the system's temporary folder): the prefix, a
    // unique part, then `extension`. The file does not exist when this returns.
    std::string MakeTempFileName(const std::string& prefix = "zip", const std::string& extension = ".zip") const;

    // --- owner and user interface ---
    TObject* Sender = nullptr;
    TZipPrompter* Prompter = &THeadlessPrompter::Instance();
    std::function<void()> ProcessMessages;  // pumps the GUI's queue; unset without one
    bool Destroying = false;                // no reports once set
    std::string EventExceptionText;         // what an event handler threw during a library call

    // --- folders and switches ---
    std::string TempDir;
    std::string DLLDirectory;
    bool Verbose = false;
    bool Trace = false;
    bool Unattended = false;

    TProgDetails Details;

    // --- events ---
    TZipNotifyEvent OnDirUpdate;
    TTotalProgressEvent OnTotalProgress;
    TItemProgressEvent OnItemProgress;
    TProgressDetailsEvent OnProgressDetails;
    TProgressEvent OnProgress;
    TZipMessageEvent OnMessage;
    TSetNewNameEvent OnSetNewName;
    TNewNameEvent OnNewName;
    TCRC32ErrorEvent OnCRC32Error;
    TPasswordErrorEvent OnPasswordError;
    TExtractOverwriteEvent OnExtractOverwrite;
    TExtractSkippedEvent OnExtractSkipped;
    TCopyZipOverwriteEvent OnCopyZipOverwrite;
    TFileCommentEvent OnFileComment;
    TFileExtraEvent OnFileExtra;
    TAfterCallbackEvent OnAfterCallback;
    TZipNotifyEvent OnTick;
    TSetAddNameEvent OnSetAddName;
    TSetExtNameEvent OnSetExtName;
    TGetNextDiskEvent OnGetNextDisk;
    TStatusDiskEvent OnStatusDisk;

protected:
    void ClearError() {
        err_code_ = 0;
        full_err_code_ = 0;
        message_.clear();
    }
    int BusyLevel() const { return busy_level_; }
    // An engine library's error number: ErrCode keeps its low byte, FullErrCode all of it.
    void SetLibraryError(int code) {
        err_code_ = code & 0xFF;
        full_err_code_ = code;
    }
    // Sets the last message and code, shows the box when asked, fires OnMessage.
    void Announce(int id, const std::string& text, bool show_box);
    void ReportProgressDetails();
    void AfterReport();

private:
    bool cancel_ = false;
    int err_code_ = 0;
    int full_err_code_ = 0;
    std::string message_;
    int busy_level_ = 0;
};

// Holds the busy cursor (and the core's list locks) for a scope, however the scope ends.
class TBusyScope {
public:
    explicit TBusyScope(TZipBase& base) : base_(base) { base_.BeginBusy(); }
    ~TBusyScope() { base_.EndBusy(); }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    TZipBase& base_;
};

}  // namespace kv
