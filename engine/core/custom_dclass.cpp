#include "engine/core/custom_dclass.h"

#include "engine/core/error_codes.h"
#include "engine/core/formats.h"

namespace kv {

int TCustomDClass::Extract() { return RunOperation(TOutputMode::omFiles); }

int TCustomDClass::TestArchive() { return RunOperation(TOutputMode::omNowhere); }

int TCustomDClass::ExtractFrom(TStream32& source, bool testing) {
    return RunOperation(testing ? TOutputMode::omNowhere : TOutputMode::omFiles, &source);
}

int TCustomDClass::RunOperation(TOutputMode mode, TStream32* source) {
    if (ArchiveFile().empty()) {
        DoError({}, {}, "0", ecode::kFileNotFound);
        return 0;
    }
    const std::string archive_file = ArchiveFile();
    if (FormatOf(ArcType()).Has(ftDiskVolumes) && !DiskManager.CheckDrive(*this, archive_file, false)) {
        return 0;
    }
    if (source == nullptr && !IsOutsideDecoderType(ArcType()) && !OpenArchiveStream(archive_file)) {
        DoError(archive_file, {}, "0", ecode::kErrorOpeningFile);
        return 0;
    }

    ResetOperationState();
    ReadOnce = source != nullptr;
    OutputTree.Forget();
    folders_.clear();
    OutputMode = mode;
    SetVolumeNumber(-1);
    if (CpuType == cpt80486) CpuType = cptAuto;

    if (OnActivate) OnActivate(this);
    if (OnElapsedTime) Timer.Start();

    ArchiveTotalBytes = BytesToProcess = Detection().ArcSize;
    if (!FormatOf(ArcType()).Has(ftTextTranslation)) AsciiTranslation = false;
    SetExtractDir(ExtractDir());

    try {
        if (mode != TOutputMode::omFiles || CheckWritableDestination())
            ExtractIt(source != nullptr ? source : ArchiveStream.get(), this);
    } catch (...) {
        // Whatever went wrong was reported through OnError before it was raised.
    }
    // An entry the run ended in the middle of (a full disk) leaves nothing behind.
    Output.reset();
    pending_.Discard();
    FinishFolders();

    if (OnElapsedTime) OnElapsedTime(this, Timer.Stop());
    if (OnDeactivate) OnDeactivate(this);
    RestoreArchiveFile(archive_file);
    ArchiveStream.reset();
    return ProcessedCount;
}

bool TCustomDClass::CheckCRC(int crc_kind, std::uint32_t stored_crc) {
    const std::uint32_t value = crc_kind == kCrc16 ? Crc16Value : Crc32Value;
    return ReportCheck(stored_crc == value || stored_crc == ~value);
}

bool TCustomDClass::ReportCheck(bool pass) {
    pass = pass && !GetCancel() && !OutputFailed;
    if (pass && pending_.Active() && !pending_.Commit()) {
        DoError(CurrentOutputPath, {}, CurrentVolumeName.empty() ? "0" : CurrentVolumeName, ecode::kErrorOpeningFile);
        --ProcessedCount;
        OutputFailed = true;
    }
    // The entry's output failed and said so: a checksum verdict would tell of a fault it does not have.
    if (OutputFailed) {
        pending_.Discard();
        return false;
    }
    KeepFailedOutput = false;
    const bool told = TellCheck(pass);
    if (KeepFailedOutput && !GetCancel()) pending_.CommitIfFree();
    else pending_.Discard();
    return told;
}

bool TCustomDClass::TellCheck(bool pass) {
    const std::string& name = OutputMode == TOutputMode::omFiles ? CurrentOutputPath : CurrentStoredName;
    if (OnEnd) {
        OnEnd(this, name, pass);
    } else if (!pass) {
        DoError(name, {}, CurrentVolumeName.empty() ? "0" : CurrentVolumeName, ecode::kFileFailsCrcCheck);
    }
    return pass;
}

}  // namespace kv
