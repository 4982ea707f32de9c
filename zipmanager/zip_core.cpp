#include "zipmanager/zip_core.h"

#include "engine/core/oem_names.h"
#include "engine/core/zip_headers.h"
#include "platform/paths.h"

namespace kv {

TZipCore::TZipCore() : zip_eng_(std::make_unique<TZipEng>(*this)), unz_eng_(std::make_unique<TUnzEng>(*this)) {
    const auto refused = [this] {
        MarkReEntry();
    };
    FSpecArgs.OnRefused = refused;
    FSpecArgsExcl.OnRefused = refused;
    QueryDrive = [](const std::string& path) { return platform::QueryDriveInfo(path); };
}

TZipCore::~TZipCore() {
    Destroying = true;
    zip_eng_->Abort();
    unz_eng_->Abort();
    TZipCore::SetCancel(true);
}

void TZipCore::SetCancel(bool value) {
    if (value != Cancel()) TZipBase::SetCancel(value);
}

void TZipCore::BeginBusy() {
    TZipBase::BeginBusy();
    FSpecArgs.SetLocked(true);
    FSpecArgsExcl.SetLocked(true);
}

void TZipCore::EndBusy() {
    // Nested brackets (a List inside an operation) keep the lists locked until the outermost ends.
    if (BusyLevel() <= 1) {
        FSpecArgs.SetLocked(false);
        FSpecArgsExcl.SetLocked(false);
    }
    TZipBase::EndBusy();
}

void TZipCore::MarkReEntry() {
    ReEntry = true;
    if (Verbose) Diagnostic("Re-entry");
}

void TZipCore::SetActive(bool active) {
    active_ = active;
    if (!active_) return;
    if (list_pending_) {
        list_pending_ = false;
        List();
    }
    if (comment_pending_) {
        comment_pending_ = false;
        SetArchiveComment(pending_comment_);
    }
}

std::string TZipCore::ChosenCodePage() const {
    switch (CodePage) {
        case cpOEM: return OemCodePage.empty() ? kv::OemCodePage() : OemCodePage;
        case cpNone: return "UTF-8";  // the ANSI code page, which is UTF-8 here
        case cpAuto: break;
    }
    return {};
}

std::string TZipCore::StoredToText(std::string_view stored, std::uint8_t host, bool utf8) const {
    return DecodeStoredName(stored, ZipNameOrigin(utf8, host), ChosenCodePage(), OemCodePage);
}

std::string TZipCore::TextToStored(const std::string& text, std::uint8_t host) const {
    const bool oem = CodePage == cpOEM || (CodePage == cpAuto && ZipNameOrigin(false, host) == TNameOrigin::noDos);
    if (!oem) return text;
    return OemCodePage.empty() ? Utf8ToOem(text) : Utf8ToOem(text, OemCodePage);
}

}  // namespace kv
