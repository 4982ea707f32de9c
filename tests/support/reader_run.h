#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "engine/core/arc_detect.h"
#include "engine/core/error_codes.h"
#include "engine/readers/format_readers.h"

namespace kv::test {

// The type detection gives the file.
inline TArcType DetectType(const std::filesystem::path& path) {
    TFileStream32 stream(path.string(), TFileOpenMode::fmOpenRead);
    if (!stream.IsValid()) return atFileOpenErr;
    TArcDetection state;
    TDetectionContext context;
    context.ArchiveFile = path.string();
    context.ReportError = [](int) {};
    return DetectArcType(stream, state, context);
}

// Extracts every entry with the reader for the archive's type into `destination`, with the stored folders,
// replacing what is there; `on_begin` hears each output path the reader is about to write. Returns the
// errors and failed checks the reader reported, one per line ("" when there were none).
inline std::string ExtractWithReader(const std::filesystem::path& archive, TArcType type,
                                     const std::filesystem::path& destination, const std::string& password = {},
                                     const std::function<void(const std::string& path)>& on_begin = {}) {
    std::unique_ptr<TUnBase> reader = CreateReader(type);
    if (!reader) return "no reader\n";
    std::string reported;
    const auto file_part = [](const std::string& path) { return std::filesystem::path(path).filename().string(); };
    reader->OnBegin = [&](TObject*, const std::string& path, int, bool&) {
        if (on_begin) on_begin(path);
    };
    reader->OnError = [&](TObject*, const std::string& file, const std::string& extended, const std::string&, int code) {
        reported += file_part(file) + ": " + ErrorText(code, extended) + "\n";
    };
    reader->OnEnd = [&](TObject*, const std::string& file, bool pass) {
        if (!pass) reported += file_part(file) + ": fails its check\n";
    };
    reader->OnGetPassword = [](TObject*, const std::string&, std::string&, TSeedKeyRecord&, TSeedKeyRecord&,
                               bool& try_again) { try_again = false; };
    reader->OnNextVolume = [](TObject*, std::string&, int, bool exists, bool& cancel) { cancel = !exists; };
    reader->SetArchiveFile(archive.string());
    reader->FileSpec = {"*.*"};
    reader->UseStoredDirs = true;
    reader->CreateStoredDirs = true;
    reader->ConfirmOverwrites = false;
    reader->OverwriteMode = omOverwrite;
    reader->Password = password;
    reader->SetExtractDir(destination.string());
    reader->Extract();
    return reported;
}

}  // namespace kv::test
