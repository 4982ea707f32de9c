#include "engine/readers/un_single_file.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/core/content_rules.h"
#include "engine/core/crc.h"
#include "engine/core/error_codes.h"
#include "engine/core/formats.h"
#include "engine/core/oem_names.h"
#include "engine/readers/decoded_stream.h"
#include "engine/readers/entry_data_io.h"
#include "engine/readers/format_readers.h"
#include "platform/file_attributes_linux.h"

namespace kv {
namespace {

std::string LastPart(std::string_view name) {
    const auto slash = name.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

// Keeps the checksum of what the decoder writes, which its format's check compares.
class TChecksumSink : public TByteSink {
public:
    TChecksumSink(TZipCommon& engine, TByteSink& sink) : engine_(engine), sink_(sink) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
        engine_.Crc32Value = UpdateCrc32(engine_.Crc32Value, data, size);
        return sink_.Write(data, size);
    }

private:
    TZipCommon& engine_;
    TByteSink& sink_;
};

// Keeps the first block of the decoded file and stops the decoder then.
class TFirstBlockSink : public TByteSink {
public:
    bool Write(const std::uint8_t* data, std::size_t size) override {
        const std::size_t step = std::min(size, block_.size() - filled_);
        std::copy_n(data, step, block_.begin() + static_cast<std::ptrdiff_t>(filled_));
        filled_ += step;
        return !Full();
    }
    bool Full() const { return filled_ == block_.size(); }
    const std::array<std::uint8_t, kTarBlockSize>& Block() const { return block_; }

private:
    std::array<std::uint8_t, kTarBlockSize> block_{};
    std::size_t filled_ = 0;
};

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
    const bool tar = IsCompressedTarExtension(std::string_view(name).substr(dot + 1));
    name.erase(dot);
    return tar ? name + ".tar" : name;
}

bool TUnSingleFile::DecodeInto(TStream32& archive, TByteSink& sink) {
    TMemberInput input(archive, std::max<std::int64_t>(Detection().ArcStartOffset, 0));
    const TMemberStart start = ReadStart(input);
    if (start.Refusal != 0) {
        DoError(ArchiveFile(), {}, "0", start.Refusal);
        return false;
    }
    if (!ChecksOutputCrc32()) return DecodeMember(input, sink);
    TChecksumSink checked(*this, sink);
    Crc32Value = 0xFFFFFFFFu;
    return DecodeMember(input, checked);
}

std::unique_ptr<TUnSingleFile> TUnSingleFile::Sibling() const {
    std::unique_ptr<TUnBase> reader = CreateReader(ArcType());
    auto* single = dynamic_cast<TUnSingleFile*>(reader.get());
    if (single == nullptr) return nullptr;
    reader.release();
    std::unique_ptr<TUnSingleFile> sibling(single);
    sibling->SetArchiveFile(ArchiveFile());
    return sibling;
}

bool TUnSingleFile::HoldsTar() {
    const std::unique_ptr<TUnSingleFile> sibling = Sibling();
    TFileStream32 file(ArchiveFile(), TFileOpenMode::fmOpenRead);
    if (!sibling || !file.IsValid()) return false;
    TFirstBlockSink first;
    sibling->DecodeInto(file, first);
    return first.Full() && TarChecksumMatches(first.Block());
}

void TUnSingleFile::ExtractIt(TStream32* archive, TObject*) {
    if (archive == nullptr) return;
    TMemberInput input(*archive, std::max<std::int64_t>(Detection().ArcStartOffset, 0));
    const TMemberStart start = ReadStart(input);
    const std::string name = OutputName(start.StoredName);
    const bool testing = OutputMode == TOutputMode::omNowhere;
    // A TAR inside is known by its content: its name may end in anything (".taraa" of a split TAR).
    if (start.Refusal == 0 && HoldsTar()) {
        SetOutputName(name);
        if (AskNestedTar(CurrentOutputPath.empty() ? name : CurrentOutputPath)) return UnpackNestedTar(testing);
    }
    if (!SelectEntry(name)) return;
    SetOutputName(name);
    if (start.Refusal != 0) {
        DoError(name, {}, "0", start.Refusal);
        return;
    }
    if (!BeginFile()) return;
    Crc32Value = 0xFFFFFFFFu;
    if (!OpenOutput()) {
        DoError(CurrentOutputPath, {}, "0", ecode::kErrorOpeningFile);
        --ProcessedCount;
        return;
    }
    TEntrySink sink(*this, Output.get(), [&](std::int64_t) {
        BytesToProcess = ArchiveTotalBytes - input.Position();
        ReportProgress(ArchiveTotalBytes, input.FileSize(), input.Position());
    });
    const bool pass = DecodeMember(input, sink);
    const std::uint32_t date = start.DosDateTime != 0 ? start.DosDateTime : Detection().ArcDate;
    // The formats keep no attributes: the file gets plain ones.
    CloseOutput(platform::kFaArchive, date, start.ModTime);
    ReportCheck(pass);
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

void TUnSingleFile::UnpackNestedTar(bool testing) {
    std::unique_ptr<TUnBase> reader = CreateReader(atTar);
    std::unique_ptr<TUnSingleFile> decoder = Sibling();
    if (!reader || !decoder) return;
    // Its messages name the archive the user gave.
    reader->SetArchiveFile(ArchiveFile());
    reader->SetExtractDir(ExtractDir());
    reader->SetTempDir(TempDir());
    reader->FileSpec = FileSpec;
    reader->ExcludeSpec = ExcludeSpec;
    reader->RecurseDirs = RecurseDirs;
    // The TAR's folders are kept as the user asked for them on this archive.
    reader->UseStoredDirs = UseStoredDirs;
    reader->CreateStoredDirs = CreateStoredDirs;
    reader->ConfirmOverwrites = ConfirmOverwrites;
    reader->OverwriteMode = OverwriteMode;
    reader->KeepSpecialBits = KeepSpecialBits;
    reader->NameCodePage = NameCodePage;
    reader->DateAttribute = DateAttribute;
    reader->RestoreFileAttr = RestoreFileAttr;
    reader->OnEnd = OnEnd;
    reader->OnError = OnError;
    reader->OnExcludeFile = OnExcludeFile;
    // The owner cancels this reader (a Cancel button, the overwrite question): the TAR's reader stops too.
    TUnBase& tar = *reader;
    const auto pass_cancel = [this, &tar] {
        if (GetCancel() && !tar.GetCancel()) tar.SetCancel(true);
    };
    reader->OnProgress = [this, pass_cancel](TObject* sender, std::uint8_t by_file, std::uint8_t by_archive) {
        if (OnProgress) OnProgress(sender, by_file, by_archive);
        pass_cancel();
    };
    reader->OnBegin = [this, pass_cancel](TObject* sender, const std::string& file, int count, bool& extract) {
        if (OnBegin) OnBegin(sender, file, count, extract);
        pass_cancel();
    };
    // Without a handler the TAR's reader has none either, and says so.
    if (OnFileExists) {
        reader->OnFileExists = [this, pass_cancel](TObject* sender, const std::string& file, std::string& new_name,
                                                   TOverwriteMode& mode) {
            OnFileExists(sender, file, new_name, mode);
            pass_cancel();
        };
    }
    // The decoder runs on a worker thread: what it reports is told here once the TAR has been read.
    std::vector<int> decoding_errors;
    decoder->OnError = [&decoding_errors](TObject*, const std::string&, const std::string&, const std::string&,
                                          int code) { decoding_errors.push_back(code); };
    const std::string path = ArchiveFile();
    TDecodedStream decoded([&decoder, path](TByteSink& sink) {
        TFileStream32 file(path, TFileOpenMode::fmOpenRead);
        return file.IsValid() && decoder->DecodeInto(file, sink);
    });
    reader->ExtractFrom(decoded, testing);
    const bool cancelled = reader->GetCancel();
    reader.reset();
    // Data behind the TAR's end still has its checksum checked, unless the run was cancelled.
    if (cancelled || decoded.Drain()) return;
    if (decoding_errors.empty()) decoding_errors.push_back(ecode::kFileFailsCrcCheck);
    for (const int code : decoding_errors) DoError(ArchiveFile(), {}, "0", code);
}

}  // namespace kv
