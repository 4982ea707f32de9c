#include "engine/writers/single_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <exception>
#include <filesystem>

#include "engine/core/dates.h"
#include "engine/core/engine_error.h"
#include "engine/core/error_codes.h"
#include "engine/core/file_scan.h"
#include "engine/core/temp_archive.h"
#include "platform/file_attributes_linux.h"
#include "platform/paths.h"
#include "platform/trash.h"

namespace kv {
namespace {

bool IsBlank(const std::string& line) { return line.find_first_not_of(' ') == std::string::npos; }
bool HasWildcards(const std::string& line) { return line.find_first_of("*?") != std::string::npos; }

std::string FileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

}  // namespace

TSingleFileWriter::TSingleFileWriter(TCompressMethod method) : TCompBase(method) { ConfirmOverwrites = true; }

int TSingleFileWriter::Compress() {
    ResetOperationState();
    try {
        Run();
    } catch (const E_RAISE&) {
        // Already reported.
    } catch (const std::exception& failure) {
        DoError(ArchiveFile(), failure.what(), "0", ecode::kUnknownError);
    } catch (...) {
        DoError(ArchiveFile(), {}, "0", ecode::kUnknownError);
    }
    return ProcessedCount;
}

void TSingleFileWriter::Run() {
    if (Switch == swDelete) {
        DoError(ArchiveFile(), {}, "0", ecode::kUnsupportedArcTypeOperation);
        return;
    }
    std::vector<std::string> lines;
    for (const std::string& line : FileSpec) {
        if (!IsBlank(line)) lines.push_back(platform::ToNativeDelimiters(line));
    }
    if (Switch == swRead || (ArchiveFile().empty() && DefaultDir.empty()) || lines.empty()) return;

    if (OnActivate) OnActivate(this);
    Timer.Start();
    std::string output_dir = !DefaultDir.empty() ? DefaultDir : platform::ExtractFilePath(ArchiveFile());
    output_dir = output_dir.empty() ? platform::CurrentDirectory() : platform::IncludeTrailingDelimiter(output_dir);
    for (const std::string& input : FindFiles(lines)) {
        if (ProcessMessages) ProcessMessages();
        if (GetCancel()) break;
        const std::string output = OutputNameFor(input, output_dir);
        TFileOutcome outcome = platform::FileExists(output) ? ConfirmOverwrite(output, input) : TFileOutcome::foWritten;
        if (outcome == TFileOutcome::foStop) break;
        if (outcome == TFileOutcome::foWritten) {
            bool take = true;
            if (OnBegin) OnBegin(this, input, ProcessedCount + 1, take);
            outcome = take ? PackFile(input, output) : TFileOutcome::foSkipped;
        }
        if (outcome == TFileOutcome::foWritten) ++ProcessedCount;
        if (outcome != TFileOutcome::foStop && OnEnd) OnEnd(this, output, outcome != TFileOutcome::foFailed);
        if (outcome == TFileOutcome::foStop) break;
    }
    const float elapsed = Timer.Stop();
    if (OnElapsedTime) OnElapsedTime(this, elapsed);
    if (OnDeactivate) OnDeactivate(this);
}

std::vector<std::string> TSingleFileWriter::FindFiles(const std::vector<std::string>& lines) {
    std::vector<std::string> files;
    for (const std::string& line : lines) {
        // A plain name is taken as it is: a recursive scan would find it in every folder.
        if (!HasWildcards(line) && platform::FileExists(line)) {
            files.push_back(line);
            continue;
        }
        TArcFileScan scan;
        SetUpScan(scan, {line});
        scan.AddHandler = [&](TObject*, const std::string& directory, TFilesList*, const TFindRecord& record) {
            if ((record.Attributes & platform::kFaDirectory) == 0) files.push_back(directory + record.Name);
            return true;
        };
        // The scanner clears the flag it shares when it starts: a cancel given before must stand.
        if (GetCancel()) break;
        scan.Scan();
    }
    return files;
}

std::string TSingleFileWriter::OutputNameFor(const std::string& input, const std::string& output_dir) const {
    std::string output = output_dir + FileNameOf(input);
    switch (Extension) {
        case exAppendGZ: output += DefaultExt(); break;
        case exUnderScore: output.back() = '_'; break;
        case exNone: break;
    }
    // The input is never written over while it is being read.
    std::error_code error;
    if (output == input || std::filesystem::equivalent(output, input, error)) output += DefaultExt();
    return output;
}

TSingleFileWriter::TFileOutcome TSingleFileWriter::ConfirmOverwrite(const std::string& output, const std::string& input) {
    if (!ConfirmOverwrites) return TFileOutcome::foWritten;
    if (!OnFileExists) {
        ReportMissingEvent("OnFileExists");
        return TFileOutcome::foStop;
    }
    struct stat st{};
    const TDateTime input_date = ::stat(input.c_str(), &st) == 0 ? UnixTimeToDateTime(st.st_mtime) : 0;
    TOverwriteMode mode = OverwriteMode;
    OnFileExists(this, output, input_date, mode);
    if (mode == omSkip) return TFileOutcome::foSkipped;
    if (::access(output.c_str(), W_OK) != 0) {
        bool write_to_file = false;
        if (OnNonWriteableArchive) {
            OnNonWriteableArchive(this, output, write_to_file);
        } else {
            DoError(output, {}, "0", ecode::kFileIsReadOnly);
        }
        return TFileOutcome::foStop;
    }
    return TFileOutcome::foWritten;
}

TSingleFileWriter::TFileOutcome TSingleFileWriter::PackFile(const std::string& input, const std::string& output) {
    TFileStream32 source(input, TFileOpenMode::fmOpenRead);
    struct stat st{};
    if (!source.IsValid() || ::fstat(source.Handle(), &st) != 0) {
        DoError(input, std::strerror(source.LastError() != 0 ? source.LastError() : errno), "0", ecode::kErrorOpeningFile);
        return TFileOutcome::foFailed;
    }
    const std::unique_ptr<TTempArchive> packed = CreateTempArchive(CompressionMethod, TempDir());
    if (CompressionMethod == cmTempFile && packed->TempFileName().empty()) {
        DoError(TempDir(), {}, "0", ecode::kErrorCreatingFile);
        return TFileOutcome::foStop;
    }
    packed->Stream().CancelFlag = CancelFlag();
    CurrentStoredName = FileNameOf(input);
    const std::int64_t size = st.st_size;
    std::int64_t done = 0;
    const TChunkProgress progress = [&](std::int64_t bytes) { return FileBytesDone(size, done, bytes); };
    const TChunkResult result =
        EncodeFile(source, size, CurrentStoredName, static_cast<std::uint32_t>(st.st_mtime), packed->Stream(), progress);
    switch (result.Outcome) {
        case TChunkOutcome::coDone: break;
        case TChunkOutcome::coCancelled: return TFileOutcome::foStop;
        case TChunkOutcome::coReadError:
            DoError(input, {}, "0", ecode::kErrorReadingFile);
            return TFileOutcome::foFailed;
        case TChunkOutcome::coWriteError:
            DoError(output, {}, "0", ecode::kErrorWritingToFile);
            return TFileOutcome::foFailed;
    }
    Crc32Value = result.Crc;

    // The output it replaces goes to the recycle bin when undo is allowed.
    const bool allow_undo = DeleteOptions == doAllowUndo;
    if (allow_undo && platform::FileExists(output)) platform::RemoveFile(output, true);
    packed->OnMoveError = [this](int code, const std::string& file) { DoError(file, {}, "0", code); };
    if (packed->MoveOverArchive(output) != 0) return GetCancel() ? TFileOutcome::foStop : TFileOutcome::foFailed;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, output.c_str(), times, 0);
    if (Switch == swMove) {
        source.Close();
        if (!platform::RemoveFile(input, allow_undo)) DoError(input, {}, "0", ecode::kErrorDeletingFiles);
    }
    return TFileOutcome::foWritten;
}

}  // namespace kv
