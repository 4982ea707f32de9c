// How the facade builds its entry list and totals from the engine that lists the archive.
#include "engine/core/dates.h"
#include "engine/core/percent.h"
#include "engine/readers/arc_lister.h"
#include "facade/kv_comp.h"
#include "platform/paths.h"
#include "zipmanager/zip_manager.h"

namespace kv::facade {

void TkvComp::ClearEntries() {
    ForgetEntryIndex();
    entries_.clear();
    is_installable_ = false;
}

bool TkvComp::NameCheckStops(std::string_view name) {
    if (traversal_asked_ || !OnSecurityIssue || !IsTraversalName(name)) return false;
    const TkvDirectoryTraversalIssue issue;
    bool cancel = false;
    OnSecurityIssue(this, issue, cancel);
    traversal_asked_ = true;
    return cancel;
}

void TkvComp::NoteSetupProgram(const TArcEntry& entry) {
    if (!IsSetupProgramName(entry.FileName)) return;
    setup_entry_ = entry;
    is_installable_ = true;
}

void TkvComp::BuildZipEntries() {
    ClearEntries();
    arc_size_ = 0;
    arc_packed_ = 0;
    arc_entry_count_ = zip_manager_->EntryCount();
    for (const ZipDirEntry& stored : zip_manager_->DirEntries()) {
        const std::string_view name = stored.Name();
        if (NameCheckStops(name)) {
            list_aborted_ = true;
            break;
        }
        TArcEntry& entry = entries_.emplace_back();
        const std::optional<TPreciseTime> mod_time = stored.ModTime();
        entry.DateTime = mod_time ? LocalDateTimeOf(mod_time->Seconds) : DosDateTimeToDateTime(stored.DosDateTime);
        entry.CRC = static_cast<std::int32_t>(stored.Crc32);
        entry.PackedSize = static_cast<std::int64_t>(stored.PackedSize64);
        entry.Size = static_cast<std::int64_t>(stored.UnpackedSize64);
        entry.Ratio = Ratio(entry.Size, entry.PackedSize);
        entry.Attributes = stored.ExternalAttributes;
        entry.FileName = name;
        if (!stored.Comment().empty()) entry.Comment = stored.Comment();
        entry.Encrypted = stored.IsEncrypted;
        NoteSetupProgram(entry);
        arc_size_ += entry.Size;
        arc_packed_ += entry.PackedSize;
    }
    if (list_aborted_) return;
    arc_ratio_ = Ratio(arc_size_, arc_packed_);
    if (OnDirUpdate) OnDirUpdate(this);
    RefreshViews();
}

void TkvComp::ListerActivated() {
    ClearEntries();
    arc_entry_count_ = 0;
    ClearProcessed();
}

void TkvComp::AddListerEntry() {
    const TEntryRecord& listed = lister_->Entry();
    if (NameCheckStops(listed.FileName)) {
        lister_->SetCancel(true);
        list_aborted_ = true;
    }
    TArcEntry& entry = entries_.emplace_back();
    entry.DateTime = listed.ModTime ? LocalDateTimeOf(listed.ModTime->Seconds) : listed.FileDate;
    entry.CRC = static_cast<std::int32_t>(listed.FileCRC);
    entry.PackedSize = listed.PackedSize;
    entry.Size = listed.UnpackedSize;
    entry.Ratio = listed.Ratio;
    entry.Encrypted = listed.Encrypted;
    entry.Comment = listed.FileComment;
    // The lister knows the attributes too; showing them beats showing none.
    entry.Attributes = listed.ExternalAttr;
    const bool leading_delimiter = !listed.FileName.empty() && listed.FileName.front() == platform::kPathDelim;
    entry.FileName = listed.FileName.substr(leading_delimiter ? 1 : 0);
    NoteSetupProgram(entry);
    ++arc_entry_count_;
}

void TkvComp::ListerTotals(std::int64_t unpacked, std::int64_t packed, int ratio, int files) {
    arc_size_ = unpacked;
    arc_packed_ = packed;
    arc_entry_count_ = files;
    arc_ratio_ = static_cast<std::uint8_t>(ratio);
    if (OnDirUpdate) OnDirUpdate(this);
}

void TkvComp::ListerDeactivated() {
    if (OnDirUpdate) OnDirUpdate(this);
    RefreshViews();
}

}  // namespace kv::facade
