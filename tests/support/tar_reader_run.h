#pragma once

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/error_codes.h"
#include "engine/readers/format_readers.h"
#include "support/tar_builder.h"

namespace kv::test {

// A link member's header: `type` "1" (hard) or "2" (symbolic) naming `target`, its checksum made again.
inline std::string TarLinkHeader(const std::string& name, char type, const std::string& target) {
    return WithTarField(TarHeader({.name = name, .type = type}), 157, target.substr(0, 100));
}

// What a TAR reader run reported: errors and failed checks one per line (file part and text), and the
// file parts of the entries that passed.
struct TarRun {
    std::string reported;
    std::vector<std::string> passed;
    int count = 0;  // what Extract or TestArchive returned
};

inline TarRun RunTarReader(const std::filesystem::path& archive, const std::filesystem::path& destination,
                           bool testing, std::vector<std::string> file_spec = {"*.*"}) {
    TarRun run;
    std::unique_ptr<TUnBase> reader = CreateReader(atTar);
    const auto file_part = [](const std::string& path) { return std::filesystem::path(path).filename().string(); };
    reader->OnError = [&](TObject*, const std::string& file, const std::string& extended, const std::string&, int code) {
        run.reported += file_part(file) + ": " + ErrorText(code, extended) + "\n";
    };
    reader->OnEnd = [&](TObject*, const std::string& file, bool pass) {
        if (pass) run.passed.push_back(file_part(file));
        else run.reported += file_part(file) + ": fails its check\n";
    };
    reader->SetArchiveFile(archive.string());
    reader->FileSpec = std::move(file_spec);
    reader->UseStoredDirs = true;
    reader->CreateStoredDirs = true;
    reader->ConfirmOverwrites = false;
    reader->OverwriteMode = omOverwrite;
    reader->SetExtractDir(destination.string());
    run.count = testing ? reader->TestArchive() : reader->Extract();
    return run;
}

}  // namespace kv::test
