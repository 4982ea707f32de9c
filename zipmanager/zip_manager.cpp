#include "zipmanager/zip_manager.h"

#include "engine/core/oem_names.h"
#include "platform/paths.h"

namespace kv {

TZipManager::TZipManager()
    : core_(std::make_unique<TZipCore>()),
      sfx_(std::make_unique<TSfxBuilder>()),
      OnDirUpdate(core_->OnDirUpdate),
      OnTotalProgress(core_->OnTotalProgress),
      OnItemProgress(core_->OnItemProgress),
      OnProgressDetails(core_->OnProgressDetails),
      OnProgress(core_->OnProgress),
      OnMessage(core_->OnMessage),
      OnSetNewName(core_->OnSetNewName),
      OnNewName(core_->OnNewName),
      OnCRC32Error(core_->OnCRC32Error),
      OnPasswordError(core_->OnPasswordError),
      OnExtractOverwrite(core_->OnExtractOverwrite),
      OnExtractSkipped(core_->OnExtractSkipped),
      OnCopyZipOverwrite(core_->OnCopyZipOverwrite),
      OnFileComment(core_->OnFileComment),
      OnFileExtra(core_->OnFileExtra),
      OnAfterCallback(core_->OnAfterCallback),
      OnTick(core_->OnTick),
      OnSetAddName(core_->OnSetAddName),
      OnSetExtName(core_->OnSetExtName),
      OnGetNextDisk(core_->OnGetNextDisk),
      OnStatusDisk(core_->OnStatusDisk) {
    core_->Sender = this;
}

TZipManager::~TZipManager() = default;

int TZipManager::List() {
    return RunBusy([this] { return core_->List(); });
}

int TZipManager::Add() {
    return RunBusy([this] { return core_->Add(); });
}

int TZipManager::Delete() {
    return RunBusy([this] { return core_->Delete(); });
}

int TZipManager::Extract() {
    return RunBusy([this] { return core_->Extract(); });
}

int TZipManager::Rename(const std::vector<ZipRenameRec>& renames, std::uint32_t date_time) {
    return RunBusy([&] { return core_->Rename(renames, date_time); });
}

void TZipManager::SetExtAddStoreSuffixes(const std::string& value) {
    if (busy_) {
        core_->MarkReEntry();
        return;
    }
    core_->ExtAddStoreSuffixes = NormaliseStoreSuffixes(value);
    if (core_->ExtAddStoreSuffixes.empty())
        core_->AddStoreSuffixes.Exclude(assEXT);
    else
        core_->AddStoreSuffixes.Include(assEXT);
}

bool TZipManager::SetAddEncryptMethod(TEncryptionMethod value) {
    if (AesStrengthOf(value) < 0) return false;
    Guarded(core_->AddEncryptMethod, value);
    return true;
}

void TZipManager::SetZipFileName(const std::string& name) {
    if (busy_) {
        core_->MarkReEntry();
        return;
    }
    core_->ZipFileName = name;
    if (Active())
        List();
    else
        core_->List();  // remembered until the component turns active
}

void TZipManager::SetArchiveComment(const std::string& comment) {
    if (!Active()) {
        core_->SetArchiveComment(comment);
        return;
    }
    RunBusy([&] {
        core_->SetArchiveComment(comment);
        return 0;
    });
}

void TZipManager::SetDLLDirectory(const std::string& value) {
    std::string folder = value;
    if (folder.size() > 1 && (folder.back() == platform::kPathDelim || folder.back() == '\\')) folder.pop_back();
    core_->DLLDirectory = folder;
}

bool TZipManager::SetOemCodePage(const std::string& value) {
    if (!value.empty() && !IsKnownCodePage(value)) return false;
    core_->OemCodePage = value;
    return true;
}

void TZipManager::SetUseDirOnlyEntries(bool value) {
    if (!Ready()) {
        Guarded(core_->UseDirOnlyEntries, value);
        return;
    }
    RunBusy([&] {
        core_->UseDirOnlyEntries = value;
        return 0;
    });
}

}  // namespace kv
