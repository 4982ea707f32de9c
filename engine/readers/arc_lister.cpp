#include "engine/readers/arc_lister.h"

#include "engine/core/engine_error.h"
#include "engine/core/entry_selection.h"
#include "engine/core/error_codes.h"
#include "engine/core/formats.h"
#include "engine/core/percent.h"
#include "engine/readers/format_readers.h"
#include "engine/readers/list_walks.h"
#include "platform/paths.h"

namespace kv {

TArcLister::TArcLister() { ZipCmntBufSize = 32000; }

void TArcLister::SetOutputName(const std::string& stored_name) {
    CurrentStoredName = ConvertName(stored_name);
}

std::string TArcLister::ArchiveBaseName() const {
    const std::string& file = ArchiveFile();
    const auto slash = file.rfind(platform::kPathDelim);
    std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

bool TArcLister::ReadExact(std::int64_t offset, void* buffer, std::int64_t size) {
    return ArchiveStream && size >= 0 && ArchiveStream->ReadAt(offset, buffer, size) == size;
}

void TArcLister::ReportError(int code, const std::string& extended) {
    DoError(ArchiveFile(), extended, CurrentVolumeName.empty() ? "0" : CurrentVolumeName, code);
}

bool TArcLister::Activate() {
    if (busy_) return false;
    busy_ = true;
    struct BusyReset {
        bool& flag;
        ~BusyReset() { flag = false; }
    } busy_reset{busy_};

    ResetOperationState();
    OutputMode = TOutputMode::omNowhere;
    CurrentVolumeName = ArchiveFile();
    const std::string archive_file = ArchiveFile();
    try {
        if (archive_file.empty() || !platform::FileExists(archive_file)) {
            RaiseFatal(archive_file, ecode::kFileNotFound, "0");
        }
        if (!OnRead && NameList == nullptr) RaiseFatal(archive_file, ecode::kRequiredEventNotAssigned, "0", "OnRead");
    } catch (const E_RAISE&) {
        return false;
    }

    // A ZIP without an end record may be the first disk of a spanned set.
    const TArcType spanned = FormatOf(ArcType()).RemovableMediaForm;
    if (spanned != atNA && Detection().ArcStartOffset == 0 && !Detection().ZipLayoutFlags.Has(htEnding)) {
        if (!DiskManager.CheckDrive(*this, archive_file, false)) return false;
        if (DiskManager.Removable()) MutableDetection().ArcType = spanned;
    }

    if (!OpenArchiveStream(archive_file)) {
        DoError(archive_file, {}, "0", ecode::kErrorOpeningFile);
        return false;
    }
    if (OnActivate) OnActivate(this);
    Timer.Start();

    entry_ = TEntryRecord{};
    reported_count_ = 0;
    total_packed_ = 0;
    total_unpacked_ = 0;
    try {
        Walk();
    } catch (...) {
        // Errors were reported where they arose; the entries listed so far stand.
    }

    const float elapsed = Timer.Stop();
    ArchiveStream.reset();
    RestoreArchiveFile(archive_file);
    if (OnTotals) {
        OnTotals(this, total_unpacked_, total_packed_, Ratio(total_unpacked_, total_packed_), reported_count_);
    }
    if (OnDeactivate) OnDeactivate(this);
    if (OnElapsedTime) OnElapsedTime(this, elapsed);
    return true;
}

void TArcLister::Walk() {
    // A compressed single file whose content is a TAR lists as that TAR when the owner asks for it.
    if (ListDecoded && FormatOf(ArcType()).Has(ftHoldsTar) && ListCompressedTar(*this)) return;
    if (const TListWalk walk = ReadingOf(ArcType()).Walk) walk(*this);
}

bool TArcLister::Selected(const std::string& name) {
    return ListerSelects(name, FileSpec, ExcludeSpec, [this](const std::string& excluded) {
        if (OnExcludeFile) OnExcludeFile(this, excluded);
    });
}

void TArcLister::OfferEntry(TEntryRecord record, std::int64_t offset, TListedKind kind) {
    if (OnReadFile) OnReadFile(this, record.FileName);
    if (!Selected(record.FileName)) return;
    const bool directory = kind != TListedKind::lkFile;
    if (directory && !ShowEmptyDirs) return;

    if (ProcessMessages) ProcessMessages();
    if (GetCancel()) return;
    if (directory && (record.FileName.empty() || record.FileName.back() != platform::kPathDelim)) {
        record.FileName += platform::kPathDelim;
    }
    record.Ratio = Ratio(record.UnpackedSize, record.PackedSize);
    if (kind != TListedKind::lkDirectory) {
        ++reported_count_;
        total_packed_ += record.PackedSize;
        total_unpacked_ += record.UnpackedSize;
    }
    entry_ = std::move(record);
    if (NameList != nullptr) {
        NameList->push_back(entry_.FileName);
        return;
    }
    if (OnReadBegin) OnReadBegin(this);
    OnRead(this, static_cast<int>(offset), reported_count_);
    if (OnReadEnd) OnReadEnd(this);
}

}  // namespace kv
