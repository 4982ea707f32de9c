#include "engine/readers/un_single_file.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/core/error_codes.h"
#include "engine/core/oem_names.h"
#include "engine/core/text_case.h"
#include "engine/readers/entry_data_io.h"
#include "engine/readers/reader_for_type.h"
#include "platform/file_attributes_linux.h"
#include "platform/trash.h"

namespace kv {
namespace {

// Archive extensions that stand for a compressed TAR archive.
constexpr std::array<std::string_view, 4> kTarExtensions = {".tgz", ".taz", ".tbz2", ".tbz"};

std::string LastPart(std::string_view name) {
    const auto slash = name.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

}  // namespace

void TUnSingleFile::ReportDataError() {
    if (!GetCancel()) DoError(CurrentStoredName, {}, "0", ecode::kDecompressionError);
}

std::string TUnSingleFile::OutputName(const std::string& stored_name) const {
    const std::string stored = LastPart(ConvertName(stored_name, TNameOrigin::noOther));
    if (!stored.empty() && stored != "." && stored != "..") return stored;
    std::string name = LastPart(ArchiveFile());
    const auto dot = name.rfind('.');
    // Without an extension to drop, the archive's own name would have the output replace the archive.
    if (dot == std::string::npos || dot == 0) return name + ".out";
    const bool tar = std::any_of(kTarExtensions.begin(), kTarExtensions.end(),
                                 [&](std::string_view extension) { return SameText(name.substr(dot), extension); });
    name.erase(dot);
    return tar ? name + ".tar" : name;
}

void TUnSingleFile::ExtractIt(TStream32* archive, TObject*) {
    if (archive == nullptr) return;
    TMemberInput input(*archive, std::max<std::int64_t>(Detection().ArcStartOffset, 0));
    const TMemberStart start = ReadStart(input);
    const std::string name = OutputName(start.StoredName);
    if (!SelectEntry(name)) return;
    SetOutputName(name);
    if (start.Refusal != 0) {
        DoError(name, {}, "0", start.Refusal);
        return;
    }
    const bool tar = EndsWithText(name, ".tar");
    const bool testing = OutputMode == TOutputMode::omNowhere;
    // A TAR archive that is to be tested inside needs a file: it is written to the temporary folder.
    const bool untar_tested = testing && tar && AskNestedTar(name);
    const std::string extract_dir = ExtractDir();
    if (untar_tested) {
        SetExtractDir(TempDir());
        SetOutputName(name);
        OutputMode = TOutputMode::omFiles;
    }
    const auto restore = [&] {
        if (!untar_tested) return;
        SetExtractDir(extract_dir);
        OutputMode = TOutputMode::omNowhere;
    };
    if (!BeginFile()) return restore();
    Crc32Value = 0xFFFFFFFFu;
    if (!OpenOutput()) {
        DoError(CurrentOutputPath, {}, "0", ecode::kErrorOpeningFile);
        --ProcessedCount;
        return restore();
    }
    TEntrySink sink(*this, Output.get(), [&](std::int64_t) {
        BytesToProcess = ArchiveTotalBytes - input.Position();
        ReportProgress(ArchiveTotalBytes, input.FileSize(), input.Position());
    });
    const bool pass = DecodeMember(input, sink);
    const std::uint32_t date = start.DosDateTime != 0 ? start.DosDateTime : Detection().ArcDate;
    // The formats keep no attributes: the file gets plain ones.
    CloseOutput(platform::kFaArchive, date);
    const bool passed = ReportCheck(pass);
    const std::string output = CurrentOutputPath;
    restore();
    if (!passed || !tar) return;
    if (untar_tested || (!testing && AskNestedTar(output))) UnpackNestedTar(output, testing);
}

bool TUnSingleFile::AskNestedTar(const std::string& path) {
    if (!OnNestedTarFile) {
        ReportMissingEvent("OnNestedTarFile");
        return false;
    }
    bool untar = false;
    OnNestedTarFile(this, path, untar);
    return untar && !GetCancel();
}

void TUnSingleFile::UnpackNestedTar(const std::string& path, bool testing) {
    std::unique_ptr<TUnBase> reader = CreateReader(atTar);
    if (!reader) return;
    reader->SetArchiveFile(path);
    if (reader->ArcType() != atTar) return;
    reader->SetExtractDir(ExtractDir());
    reader->SetTempDir(TempDir());
    reader->FileSpec = FileSpec;
    reader->RecurseDirs = RecurseDirs;
    // The TAR's folders are kept as the user asked for them on this archive.
    reader->UseStoredDirs = UseStoredDirs;
    reader->CreateStoredDirs = CreateStoredDirs;
    reader->ConfirmOverwrites = ConfirmOverwrites;
    reader->OverwriteMode = OverwriteMode;
    reader->KeepSpecialBits = KeepSpecialBits;
    reader->OnProgress = OnProgress;
    reader->OnBegin = OnBegin;
    reader->OnFileExists = OnFileExists;
    // The nested run's failures are this run's failures: heard by the owner, and they keep the TAR file.
    bool failed = false;
    reader->OnEnd = [&](TObject* sender, const std::string& file, bool pass) {
        failed = failed || !pass;
        if (OnEnd) OnEnd(sender, file, pass);
    };
    reader->OnError = [&](TObject* sender, const std::string& file, const std::string& extended,
                          const std::string& volume, int code) {
        failed = true;
        if (OnError) OnError(sender, file, extended, volume, code);
    };
    const int unpacked = testing ? reader->TestArchive() : reader->Extract();
    reader.reset();
    if (unpacked > 0 && OnChangeArchive) OnChangeArchive(this, path, atTar);
    if (testing) {
        platform::RemoveFile(path, false);
    } else if (unpacked > 0 && !failed) {
        platform::RemoveFile(path, GzTarDeleteOptions == doAllowUndo);
    }
}

}  // namespace kv
