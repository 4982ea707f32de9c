#include "zipmanager/zip_core.h"

#include "engine/core/oem_names.h"
#include "platform/paths.h"

namespace kv {
namespace {

constexpr std::uint8_t kHostHpfs = 6;
constexpr std::uint8_t kHostNtfs = 11;
constexpr std::uint8_t kNtfsOemVersion = 50;

}  // namespace

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

bool TZipCore::ConvertsOem(std::uint8_t host, std::uint8_t version) const {
    return CodePage == cpOEM || host == kHostHpfs || (host == kHostNtfs && version == kNtfsOemVersion) ||
           (CodePage == cpAuto && host == 0);
}

std::string TZipCore::StoredToText(const std::string& stored, std::uint8_t host, std::uint8_t version,
                                   bool utf8) const {
    if (utf8 || !ConvertsOem(host, version)) return stored;
    return OemCodePage.empty() ? OemToUtf8(stored) : OemToUtf8(stored, OemCodePage);
}

std::string TZipCore::TextToStored(const std::string& text, std::uint8_t host, std::uint8_t version) const {
    if (!ConvertsOem(host, version)) return text;
    return OemCodePage.empty() ? Utf8ToOem(text) : Utf8ToOem(text, OemCodePage);
}

}  // namespace kv
