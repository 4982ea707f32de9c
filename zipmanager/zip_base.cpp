#include "zipmanager/zip_base.h"

#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "platform/paths.h"

namespace kv {

void TZipBase::ReportOther(int, int, std::int64_t, const std::string&) {}

void TZipBase::BeginBusy() {
    if (busy_level_++ == 0) Prompter->SetBusyCursor(true);
}

void TZipBase::EndBusy() {
    if (busy_level_ > 0 && --busy_level_ == 0) Prompter->SetBusyCursor(false);
}

void TZipBase::Announce(int id, const std::string& text, bool show_box) {
    err_code_ = id;
    full_err_code_ = id;
    message_ = text;
    if (show_box && !Unattended)
        Prompter->MessageBox(std::string(), message_, TMsgIcon::Error, TMsgButtons::Ok, 0);
    if (OnMessage) OnMessage(Sender, err_code_, message_);
}

void TZipBase::ShowMessage(int id, const std::string& suffix) {
    std::string text = ZipMessageText(id);
    if (text.empty()) text = MissingZipMessageText(id);
    Announce(id, text + suffix, true);
}

void TZipBase::ShowException(const EZipManager& error) { Announce(error.MessageId, error.Message, error.ShowDialog); }

void TZipBase::ReportProgressDetails() {
    if (OnProgressDetails) OnProgressDetails(Sender, Details);
}

void TZipBase::AfterReport() {
    if (OnAfterCallback) {
        bool abort = cancel_;
        OnAfterCallback(Sender, abort);
        if (abort) SetCancel(true);
    } else if (ProcessMessages) {
        ProcessMessages();
    }
}

void TZipBase::Report(int kind, int arg, std::int64_t size, const std::string& text) {
    if (Destroying) return;
    const auto item_size = static_cast<std::uint32_t>(size);
    switch (kind) {
        case rkTick:
            if (OnTick) OnTick(Sender);
            break;
        case rkNewItem:
            if (OnProgress) OnProgress(Sender, NewFile, text, size);
            ++Details.FileNumber;
            Details.FileName = text;
            Details.FileSize = item_size;
            Details.FileDone = 0;
            Details.BytesWritten += arg;
            Details.Stage = NewFile;
            ReportProgressDetails();
            if (OnItemProgress) OnItemProgress(Sender, text, item_size, 0);
            break;
        case rkBytesDone:
            if (OnProgress) OnProgress(Sender, ProgressUpdate, std::string(), size);
            ReportProgressDetails();  // before the counters move, as the libraries' callers expect
            Details.BytesDone += size;
            Details.FileDone += item_size;
            Details.BytesWritten += arg;
            Details.Stage = ProgressUpdate;
            if (OnItemProgress) OnItemProgress(Sender, Details.FileName, Details.FileDone, Details.ItemPerCent());
            if (OnTotalProgress) OnTotalProgress(Sender, Details.BytesTotal, Details.TotalPerCent());
            break;
        case rkEndOfBatch:
            if (OnProgress) OnProgress(Sender, EndOfBatch, std::string(), 0);
            Details.ResetItem();
            Details.BytesWritten += arg;
            Details.Stage = EndOfBatch;
            ReportProgressDetails();
            if (OnItemProgress) OnItemProgress(Sender, std::string(), 0, 101);
            if (OnTotalProgress) OnTotalProgress(Sender, 0, 101);
            break;
        case rkMessage: {
            message_ = text;
            if (arg != 0) {
                SetLibraryError(arg);
                if (err_code_ == 9 && !EventExceptionText.empty())
                    message_ = ZipMessageText(zmsg::kExceptionInEvent) + EventExceptionText;
            }
            if (OnMessage) OnMessage(Sender, arg, message_);
            break;
        }
        case rkFileCount:
            Details.ResetItem();
            Details.FilesTotal = static_cast<int>(size);
            Details.Stage = TotalFiles2Process;
            ReportProgressDetails();
            if (OnProgress) OnProgress(Sender, TotalFiles2Process, std::string(), size);
            break;
        case rkByteTotal:
            Details.Clear();
            Details.BytesTotal = size;
            Details.Stage = TotalSize2Process;
            ReportProgressDetails();
            if (OnProgress) OnProgress(Sender, TotalSize2Process, std::string(), size);
            break;
        case rkNewStep: {
            if (OnProgress) OnProgress(Sender, NewExtra, text, size);
            Details.ResetItem();
            std::string name = ZipMessageText(zmsg::kStepBase + arg);
            if (name.empty()) name = text;
            ++Details.FileNumber;
            Details.FileName = name;
            Details.FileSize = item_size;
            Details.Stage = NewExtra;
            ReportProgressDetails();
            if (OnItemProgress) OnItemProgress(Sender, name, item_size, 0);
            break;
        }
        case rkStepProgress:
            if (OnProgress) OnProgress(Sender, ExtraUpdate, Details.FileName, size);
            Details.FileDone += item_size;
            Details.BytesDone += size;
            Details.Stage = ProgressUpdate;
            ReportProgressDetails();
            if (OnItemProgress) OnItemProgress(Sender, Details.FileName, Details.FileSize, Details.ItemPerCent());
            break;
        case rkAfterRequest:
            break;
        default:
            ReportOther(kind, arg, size, text);
            break;
    }
    AfterReport();
}

std::string TZipBase::MakeTempFileName(const std::string& prefix, const std::string& extension) const {
    std::string folder = TempDir.empty() ? platform::SystemTempDirectory() : TempDir;
    if (folder.back() != platform::kPathDelim) folder += platform::kPathDelim;
    std::string pattern = folder + prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int handle = ::mkstemp(buffer.data());
    if (handle < 0) return {};
    ::close(handle);
    const std::string created(buffer.data());
    ::unlink(created.c_str());
    return created + extension;
}

}  // namespace kv
