// Answering the engine libraries' requests while a job runs.
#include <algorithm>
#include <cstring>
#include <exception>

#include "zipmanager/zip_core.h"

namespace kv {
namespace {

constexpr int kPasswordsDiffer = 10104;
constexpr int kHandlerFailed = 10106;
constexpr int kNoAddPassword = 10150;
constexpr int kNoExtractPassword = 10151;
constexpr int kPasswordTitle = 10154;
constexpr int kEnterPassword = 10155;
constexpr int kConfirmPassword = 10156;

constexpr std::size_t kMaxPassword = 80;
constexpr std::size_t kMaxComment = kZipEngCommentSize - 1;
constexpr std::int32_t kMaxRepeatCount = 15;

// The record's text, at most its size, without trailing blanks.
std::string RecordText(const ZipCallbackRecord& record) {
    std::string text(record.Text, ::strnlen(record.Text, kZipEngTextSize));
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

void WriteText(ZipCallbackRecord& record, const std::string& text, std::size_t limit = kZipEngTextSize) {
    const std::size_t size = std::min(text.size(), limit);
    std::memcpy(record.Text, text.data(), size);
    record.Text[size] = '\0';
}

// The size a progress request carries: the 64-bit field, else what the arguments hold.
std::int64_t RequestSize(const ZipCallbackRecord& record, int code) {
    if (record.Size != 0) return record.Size;
    const auto low = static_cast<std::uint32_t>(record.Arg2);
    if (code == zrByteTotal) return static_cast<std::int64_t>((std::uint64_t{static_cast<std::uint32_t>(record.Arg1)} << 32) | low);
    return low;
}

bool EndsWithDelimiter(const std::string& name) { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }

}  // namespace

std::int32_t TZipCore::EngineCallback(ZipCallbackRecord* record) {
    if (record == nullptr || record->Caller == nullptr) return 0;
    auto& core = *static_cast<TZipCore*>(record->Caller);
    if (core.Destroying) return 0;
    const int code = record->ActionCode & 0xFF;
    try {
        core.ServeRequest(*record);
    } catch (...) {
        // The first failure of the job is kept for the error the job ends with; the job is stopped.
        if (core.EventExceptionText.empty()) {
            std::string what;
            try {
                throw;
            } catch (const std::exception& error) {
                what = error.what();
            } catch (...) {
            }
            core.EventExceptionText = " #" + std::to_string(code) + " \"" + what + "\"";
        }
        core.SetCancel(true);
    }
    if (!core.EventExceptionText.empty()) return kHandlerFailed;
    return core.Cancel() ? 1 : 0;
}

void TZipCore::ServeRequest(ZipCallbackRecord& record) {
    const int code = record.ActionCode & 0xFF;
    const std::string text = RecordText(record);
    switch (code) {
        case zrTick:
        case zrNewItem:
        case zrBytesDone:
        case zrEndOfBatch:
        case zrMessage:
        case zrFileCount:
        case zrNewStep:
        case zrStepProgress:
            Report(code, record.Arg1, RequestSize(record, code), text);
            return;
        case zrByteTotal:
            Report(code, 0, RequestSize(record, code), text);
            return;
        case zrAddName: ServeAddName(record, text); break;
        case zrPassword: ServePassword(record, text); break;
        case zrCrcError: {
            if (OnCRC32Error) {
                bool extract = true;
                OnCRC32Error(Sender, text, static_cast<std::uint32_t>(record.Arg1), static_cast<std::uint32_t>(record.Arg2),
                             extract);
                record.Arg1 = extract ? 1 : 0;
            } else {
                record.Arg1 = 2;
            }
            break;
        }
        case zrOverwrite:
            if (OnExtractOverwrite) {
                bool overwrite = (record.Arg2 & 0xFF) != 0;
                OnExtractOverwrite(Sender, text, ((record.Arg1 >> 16) & 1) != 0, overwrite, record.Arg1 & 0xFFFF);
                record.Arg2 = overwrite ? 1 : 0;
            }
            break;
        case zrSkipped: {
            if (record.Arg1 != 0) SetLibraryError(record.Arg1);
            if (OnExtractSkipped) {
                int skip = (record.Arg2 & 0xFF) - 1;
                // A number the enumeration does not have counts as a general failure.
                if (skip < stOnFreshen || skip > stGeneralExtractError) skip = stGeneralExtractError;
                OnExtractSkipped(Sender, text, static_cast<UnZipSkipTypes>(skip), record.Arg1);
            }
            break;
        }
        case zrFileComment: ServeFileComment(record, text); break;
        case zrMemoryBuffer:
            // Memory streams are not used: no buffer is given.
            record.Arg1 = 1;
            record.Arg2 = 0;
            break;
        case zrExtraField: ServeExtraField(record, text); break;
        case zrExtractName: ServeExtractName(record, text); break;
        default: break;
    }
    Report(rkAfterRequest, 0, 0, {});
}

void TZipCore::ServeAddName(ZipCallbackRecord& record, const std::string& text) {
    bool renamed = false;
    std::string name = text;
    if (OnSetNewName) {
        bool changed = false;
        OnSetNewName(Sender, name, changed);
        if (changed) {
            WriteText(record, name);
            renamed = true;
        }
    }
    if (record.Arg2 == 0 && OnSetAddName) {
        std::string file_name = RecordText(record);
        const char* disk_name = static_cast<const char*>(record.Data);
        const std::string ext_name = disk_name ? std::string(disk_name) : std::string();
        bool changed = false;
        OnSetAddName(Sender, file_name, ext_name, changed);
        if (changed) {
            WriteText(record, file_name);
            renamed = true;
        }
    }
    // Either handler's new name counts: a later handler keeping it must not take it back.
    record.Arg1 = renamed ? 1 : 0;
}

void TZipCore::ServePassword(ZipCallbackRecord& record, const std::string& text) {
    std::string password;
    auto repeat = static_cast<std::uint32_t>(record.Arg2);
    TPasswordButton action = pwbOk;
    const std::string title = ZipMessageText(kPasswordTitle);
    if (OnPasswordError) {
        OnPasswordError(Sender, record.IsZipOperation != 0, password, text, repeat, action);
        if (action != pwbOk) password.clear();
    } else if ((record.Arg1 & 1) != 0) {
        if (Unattended) {
            ShowMessage(kNoAddPassword);
        } else {
            const TPasswordButtons buttons{pwbOk, pwbCancel};
            const TPasswordAnswer first = Prompter->PasswordPrompt(title, ZipMessageText(kEnterPassword), buttons);
            action = first.Button;
            if (first.Button == pwbOk && !first.Text.empty()) {
                const TPasswordAnswer second =
                    Prompter->PasswordPrompt(title, ZipMessageText(kConfirmPassword), buttons);
                action = second.Button;
                if (second.Button == pwbOk) {
                    if (!second.Text.empty() && second.Text != first.Text)
                        ShowMessage(kPasswordsDiffer);
                    else
                        password = second.Text;
                }
            }
        }
    } else if (Unattended) {
        ShowMessage(kNoExtractPassword);
    } else {
        const TPasswordAnswer answer = Prompter->PasswordPrompt(title, ZipMessageText(kEnterPassword),
                                                                TPasswordButtons{pwbOk, pwbCancel, pwbCancelAll});
        action = answer.Button;
        if (answer.Button == pwbOk) password = answer.Text;
    }

    if (!password.empty()) {
        WriteText(record, password, kMaxPassword);
        record.Arg1 = 1;
    } else {
        repeat = 0;
        record.Arg1 = 0;
    }
    record.Arg2 = static_cast<std::int32_t>(std::min<std::uint32_t>(repeat, kMaxRepeatCount));
    if (action == pwbCancelAll) record.ActionCode = 0;
    if (action == pwbAbort) SetCancel(true);
}

void TZipCore::ServeFileComment(ZipCallbackRecord& record, const std::string& text) {
    if (!OnFileComment) return;
    std::string comment(record.Comment, ::strnlen(record.Comment, kZipEngCommentSize));
    bool changed = false;
    OnFileComment(Sender, text, comment, changed);
    if (changed) WriteText(record, comment, kMaxComment);
    record.Arg1 = changed ? 1 : 0;
    record.Arg2 = static_cast<std::int32_t>(std::min(comment.size(), kMaxComment));
}

void TZipCore::ServeExtraField(ZipCallbackRecord& record, const std::string& text) {
    if (!OnFileExtra) return;
    std::string data;
    if (record.Data != nullptr && record.Arg2 > 0)
        data.assign(static_cast<const char*>(record.Data), static_cast<std::size_t>(record.Arg2));
    bool changed = false;
    OnFileExtra(Sender, text, data, changed);
    if (!changed) return;
    if (data.size() >= kZipEngTextSize) {
        // Too long for the text area: handed over by address, valid until the job ends.
        extra_answer_ = std::move(data);
        record.Data = extra_answer_.data();
        record.Arg2 = static_cast<std::int32_t>(extra_answer_.size());
    } else {
        std::memcpy(record.Text, data.data(), data.size());
        record.Arg2 = static_cast<std::int32_t>(data.size());
    }
    record.Arg1 = -1;
}

void TZipCore::ServeExtractName(ZipCallbackRecord& record, const std::string& text) {
    record.Arg1 = 0;
    if (!OnSetExtName) return;
    std::string name = text;
    bool changed = false;
    OnSetExtName(Sender, name, changed);
    // A file may not become a folder, nor a folder a file.
    if (changed && name != text && EndsWithDelimiter(name) == EndsWithDelimiter(text)) {
        WriteText(record, name);
        record.Arg1 = 1;
    }
}

}  // namespace kv
