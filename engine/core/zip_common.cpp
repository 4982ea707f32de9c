#include "engine/core/zip_common.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "engine/core/crc.h"
#include "engine/core/dates.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/core/file_date.h"
#include "engine/core/formats.h"
#include "engine/core/percent.h"
#include "engine/core/volume_names.h"
#include "platform/dir_probe.h"
#include "platform/paths.h"

namespace kv {
namespace {

constexpr std::int64_t kCopyChunk = 32 * 1024;
constexpr int kMaxVolumeNumber = 999;
// How often the next-volume question is asked again while the answer names no existing file. A handler
// that neither cancels nor supplies a file would otherwise be asked forever.
constexpr int kMaxVolumeRequests = 10;
// How often the limited-user protocol may redirect the destination before giving up.
constexpr int kMaxDestinationRedirects = 8;

std::string Text(int code) { return std::string(LoadStr(code)); }

}  // namespace

TZipCommon::TZipCommon() = default;
TZipCommon::~TZipCommon() = default;

// ---------------------------------------------------------------- archive and detection

void TZipCommon::SetArchiveFile(const std::string& name) {
    detection_ = TArcDetection{};
    const std::string native = platform::ToNativeDelimiters(name);
    if (!platform::FileExists(native)) {
        archive_file_.clear();
        return;
    }
    archive_file_ = native;
    if (!DetectStoredFile()) detection_.ArcType = atNA;
}

void TZipCommon::SetArcType(TArcType /*value*/) {
    if (archive_file_.empty()) return;
    if (!DetectStoredFile()) {
        detection_ = TArcDetection{};
        detection_.ArcType = atFileOpenErr;
    }
}

bool TZipCommon::DetectStoredFile() {
    TFileStream32 stream(archive_file_, TFileOpenMode::fmOpenRead);
    if (!stream.IsValid()) return false;
    Detect(stream);
    return true;
}

TArcType TZipCommon::GetArcType(TStream32& stream) {
    Detect(stream);
    return detection_.ArcType;
}

void TZipCommon::Detect(TStream32& stream) {
    TDetectionContext context;
    context.ArchiveFile = archive_file_;
    context.CommentSink = CommentSink;
    context.ReportError = [this](int code) { DoError(archive_file_, {}, "0", code); };
    detection_ = TArcDetection{};
    DetectArcType(stream, detection_, context);

    if (auto* handle = dynamic_cast<THandleStream32*>(&stream)) {
        detection_.ArcDate = FileCreationDosDateTime(handle->Handle());
    }
    if (IsKnownType(detection_.ArcType)) ComputeVolumeNumber(detection_.ArcType, archive_file_, detection_);
}

// ---------------------------------------------------------------- folders

void TZipCommon::SetExtractDir(const std::string& dir) {
    if (dir.empty()) {
        extract_dir_ = archive_file_.empty() ? std::string() : platform::ExtractFilePath(archive_file_);
        return;
    }
    extract_dir_ = platform::IncludeTrailingDelimiter(platform::ToNativeDelimiters(dir));
}

std::string TZipCommon::TempDir() {
    if (temp_dir_.empty() || !platform::DirectoryExists(temp_dir_)) temp_dir_ = platform::SystemTempDirectory();
    return temp_dir_;
}

void TZipCommon::SetTempDir(const std::string& dir) {
    std::string value = platform::IncludeTrailingDelimiter(platform::ToNativeDelimiters(dir));
    if (!value.empty() && !platform::DirectoryExists(value)) {
        const std::string question = value + "\n\n" + Text(ecode::kDirectoryDoesNotExistCreate);
        bool create = false;
        if (OnConfirmCreateDir) {
            TTimerPause pause(Timer);
            create = OnConfirmCreateDir(question);
        }
        if (!create || !platform::ForceDirectories(value)) value.clear();
    }
    temp_dir_ = value.empty() ? platform::SystemTempDirectory() : value;
}

// ---------------------------------------------------------------- errors, cancellation, progress

void TZipCommon::DoError(const std::string& FileName, const std::string& ExtendedMsg, const std::string& VolumeID,
                         int ECode) {
    TTimerPause pause(Timer);
    if (GetCancel()) ECode = ecode::kUserCanceled;
    if (OnError) OnError(this, FileName, ExtendedMsg, VolumeID, ECode);
}

void TZipCommon::RaiseFatal(const std::string& FileName, int ECode, const std::string& VolumeID,
                            const std::string& ExtendedMsg) {
    DoError(FileName, ExtendedMsg, VolumeID, ECode);
    if (!GetCancel()) throw E_RAISE(ECode, Text(ECode));
}

void TZipCommon::SetCancel(bool value) {
    *cancel_ = value;
    if (value) DoError(CurrentStoredName, Text(ecode::kUserCanceled), CurrentVolumeName, ecode::kUserCanceled);
}

void TZipCommon::ReportProgress(std::int64_t archive_total, std::int64_t file_total, std::int64_t file_done) {
    try {
        by_file_ = Percent(file_done, file_total);
        by_archive_ = Percent(archive_total - BytesToProcess, archive_total);
        if (ProcessMessages) ProcessMessages();
        if (OnProgress) OnProgress(this, by_file_, by_archive_);
    } catch (...) {
        // A failing progress display must not end the operation.
    }
}

void TZipCommon::ReportMissingEvent(const char* event_name) {
    DoError(CurrentStoredName, event_name, "0", ecode::kRequiredEventNotAssigned);
}

// ---------------------------------------------------------------- block primitives

std::int64_t TZipCommon::ReadBlock(TStream32& stream, std::int64_t count, int crc_kind, bool decipher,
                                   std::uint8_t* buffer) {
    if (count <= 0) return 0;
    const std::int64_t got = stream.ReadFull(buffer, count);
    if (got <= 0) return 0;
    if (decipher && IsCipherCapableType(ArcType())) {
        CipherKeys(TSeedKind::skData).Decipher(buffer, static_cast<std::size_t>(got));
    }
    UpdateChecksum(crc_kind, buffer, got);
    return got;
}

void TZipCommon::UpdateChecksum(int crc_kind, const std::uint8_t* buffer, std::int64_t size) {
    if (crc_kind == kCrc16) Crc16Value = UpdateCrc16(Crc16Value, buffer, static_cast<std::size_t>(size));
    if (crc_kind == kCrc32) Crc32Value = UpdateCrc32(Crc32Value, buffer, static_cast<std::size_t>(size));
}

std::vector<std::uint8_t> TZipCommon::TranslateLineEnds(const std::uint8_t* buffer, std::int64_t count) {
    std::vector<std::uint8_t> translated;
    translated.reserve(static_cast<std::size_t>(count + count / 8));
    for (std::int64_t i = 0; i < count; ++i) {
        const bool after_cr = i > 0 ? buffer[i - 1] == '\r' : last_written_was_cr_;
        if (buffer[i] == '\n' && !after_cr) translated.push_back('\r');
        translated.push_back(buffer[i]);
    }
    last_written_was_cr_ = buffer[count - 1] == '\r';
    return translated;
}

std::int64_t TZipCommon::WriteBlock(TStream32* output, std::uint8_t* buffer, bool to_output, std::int64_t count,
                                    int crc_kind, bool enciphered) {
    if (count <= 0) return 0;
    if (enciphered && to_output && FormatOf(ArcType()).Has(ftZipEntries) && EncryptionMethod == emZip_V2) {
        CipherKeys(TSeedKind::skData).Decipher(buffer, static_cast<std::size_t>(count));
    }

    std::int64_t written = count;
    bool failed = false;
    if (OutputMode != TOutputMode::omNowhere && to_output && !OutputFailed) {
        if (output == nullptr) {
            written = 0;
            failed = true;
        } else if (AsciiTranslation) {
            const std::vector<std::uint8_t> translated = TranslateLineEnds(buffer, count);
            const auto size = static_cast<std::int64_t>(translated.size());
            failed = output->WriteFull(translated.data(), size) != size;
            written = failed ? 0 : count;
        } else {
            written = output->WriteFull(buffer, count);
            failed = written != count;
        }
    }

    if (to_output) UpdateChecksum(crc_kind, buffer, count);

    if (failed) {
        if (output != nullptr && (output->LastError() == ENOSPC || output->LastError() == EDQUOT)) {
            ProcessedCount = 0;
            RaiseFatal(CurrentOutputPath, ecode::kDiskFull, archive_file_);
        }
        // Reported once per entry: the rest of the entry is not written, and the entry fails.
        OutputFailed = true;
        DoError(CurrentOutputPath, {}, archive_file_, ecode::kErrorWritingToFile);
        --ProcessedCount;
    }
    return written;
}

std::int64_t TZipCommon::WriteBlockByteCipher(TStream32* output, std::uint8_t* buffer, bool to_output,
                                              std::int64_t count, int crc_kind, bool encipher) {
    if (encipher && to_output && IsCipherCapableType(ArcType()) && count > 0) {
        CipherKeys(TSeedKind::skData).Encipher(buffer, static_cast<std::size_t>(count));
    }
    return WriteBlock(output, buffer, to_output, count, crc_kind, false);
}

std::int64_t TZipCommon::CopyStored(TStream32& archive, TStream32* output, const TEntryRecord& entry, int crc_kind) {
    const bool enciphered = IsCipherCapableType(ArcType()) && (entry.Flags & 1) != 0;
    // Made once: stored entries are often small and many.
    std::vector<std::uint8_t>& buffer = copy_buffer_;
    buffer.resize(static_cast<std::size_t>(kCopyChunk));
    std::int64_t remaining = std::max<std::int64_t>(entry.PackedSize, 0);
    while (remaining > 0 && !GetCancel()) {
        const std::int64_t got = ReadBlock(archive, std::min(remaining, kCopyChunk), kNoCrc, false, buffer.data());
        if (got == 0) break;
        WriteBlock(output, buffer.data(), true, got, crc_kind, enciphered);
        remaining -= got;
        BytesToProcess -= got;
        if (remaining > 0) ReportProgress(ArchiveTotalBytes, entry.PackedSize, entry.PackedSize - remaining);
    }
    return remaining;
}

void TZipCommon::SkipEntry(const TEntryRecord& entry) {
    BytesToProcess -= entry.UnpackedSize;
    ReportProgress(ArchiveTotalBytes, entry.UnpackedSize, entry.UnpackedSize);
}

TDateTime TZipCommon::DosDateTimeToDateTime(std::uint32_t value) const {
    return kv::DosDateTimeToDateTime(value);
}

std::string TZipCommon::GetNextVolumeName(const std::string& name, int n) const {
    return kv::GetNextVolumeName(ArcType(), name, n, detection_.VolumeLetter);
}

void TZipCommon::SetOutputName(const std::string& stored_name) {
    // Only the file part, inside the destination: the readers' pipeline decides about stored folders.
    CurrentStoredName = stored_name;
    const auto slash = stored_name.find_last_of("/\\");
    CurrentOutputPath = extract_dir_ + (slash == std::string::npos ? stored_name : stored_name.substr(slash + 1));
}

// ---------------------------------------------------------------- operation support

void TZipCommon::ResetOperationState() {
    *cancel_ = false;
    ProcessedCount = 0;
    TotalPackedSize = 0;
    TotalUnpackedSize = 0;
    BytesToProcess = 0;
    ArchiveTotalBytes = 0;
    NewestFileDate = 0;
    OutputFailed = false;
    last_written_was_cr_ = false;
    CurrentStoredName.clear();
    CurrentOutputPath.clear();
    CurrentVolumeName.clear();
    Crc32Value = 0xFFFFFFFFu;
    Crc16Value = 0;
}

bool TZipCommon::OpenArchiveStream(const std::string& name) {
    ArchiveStream = std::make_unique<TFileStream32>(name, TFileOpenMode::fmOpenRead);
    if (!ArchiveStream->IsValid()) {
        ArchiveStream.reset();
        return false;
    }
    detection_.ArcSize = ArchiveStream->Size();
    return true;
}

bool TZipCommon::ChangeReadVolume(const std::string& proposed) {
    if (!OnNextVolume) {
        ReportMissingEvent("OnNextVolume");
        return false;
    }
    // Each operation starts with the number unknown; it is worked out from the name when first needed.
    if (detection_.VolumeNumber < 0) ComputeVolumeNumber(ArcType(), archive_file_, detection_);
    std::string name = proposed.empty() ? GetNextVolumeName(archive_file_, detection_.VolumeNumber) : proposed;
    if (detection_.VolumeNumber > kMaxVolumeNumber) {
        DoError(archive_file_, {}, CurrentVolumeName, ecode::kMaximumVolumes);
        return false;
    }
    if (name.empty()) {
        DoError(archive_file_, {}, CurrentVolumeName, ecode::kInvalidFileName);
        return false;
    }
    if (platform::ExtractFilePath(name).empty()) name = platform::CurrentDirectory() + name;

    for (int request = 0;; ++request) {
        if (request == kMaxVolumeRequests) {
            DoError(name, {}, name, ecode::kFileNotFound);
            return false;
        }
        bool cancel = false;
        {
            TTimerPause pause(Timer);
            OnNextVolume(this, name, detection_.VolumeNumber, platform::FileExists(name), cancel);
        }
        if (cancel) {
            SetCancel(true);
            return false;
        }
        if (platform::FileExists(name)) break;
    }

    ++detection_.VolumeNumber;
    // The volumes after data.r00 take its letter, not the one before it that data.rar implied.
    TArcDetection moved_to;
    ComputeVolumeNumber(ArcType(), name, moved_to);
    if (moved_to.VolumeLetter != 0) detection_.VolumeLetter = moved_to.VolumeLetter;
    ArchiveStream.reset();
    archive_file_ = name;
    CurrentVolumeName = name;
    if (!OpenArchiveStream(name)) {
        DoError(name, {}, name, ecode::kErrorOpeningFile);
        detection_.ArcSize = 0;
    }
    return true;
}

bool TZipCommon::CheckWritableDestination() {
    for (int redirect = 0; redirect < kMaxDestinationRedirects; ++redirect) {
        const std::string dir = extract_dir_;
        if (platform::IsWritableDirectory(dir)) return true;

        // A limited user may be offered a folder of their own below the temporary folder's user part.
        const std::string login = platform::LoginName().substr(0, 20);
        const std::string temp = platform::SystemTempDirectory();
        const auto at = login.empty() ? std::string::npos : temp.find(login);
        if (at == std::string::npos) {
            DoError(dir, {}, "0", ecode::kDirectoryWriteProtected);
            return false;
        }
        std::string user_dir = temp.substr(0, at) + login + platform::kPathDelim;
        if (!OnLimitedUser) {
            ReportMissingEvent("OnLimitedUser");
            return false;
        }
        {
            TTimerPause pause(Timer);
            OnLimitedUser(this, dir, user_dir, *cancel_);
        }
        if (GetCancel()) return false;
        if (!platform::DirectoryExists(user_dir)) {
            DoError(dir, "UserDir", "0", ecode::kInvalidDirectory);
            return false;
        }
        SetExtractDir(user_dir);
        if (extract_dir_ == dir) {
            // The same folder again would be probed forever.
            DoError(dir, {}, "0", ecode::kDirectoryWriteProtected);
            return false;
        }
    }
    DoError(extract_dir_, {}, "0", ecode::kDirectoryWriteProtected);
    return false;
}

}  // namespace kv
