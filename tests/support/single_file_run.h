#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/readers/un_single_file.h"
#include "support/reader_run.h"

namespace kv::test {

// How a GZIP, compress or BZIP2 archive is run through its reader.
struct SingleFileOptions {
    bool testing = false;              // TestArchive instead of Extract
    std::optional<bool> untar;         // the answer OnNestedTarFile gives; none: no handler
    bool stored_dirs = true;           // UseStoredDirs and CreateStoredDirs
    std::string temp_dir;              // TempDir
    TArcType type = atNA;              // the reader to use; atNA: the one for the detected type
};

// What the run reported.
struct SingleFileResult {
    int processed = 0;
    std::vector<int> errors;            // error codes, in order
    std::string reported;               // errors and failed checks, one per line
    std::vector<std::string> passed;    // files whose check passed (OnEnd)
    std::vector<std::string> asked;     // OnNestedTarFile's file names
    std::vector<std::string> changed;   // OnChangeArchive's archive names
};

inline SingleFileResult RunSingleFile(const std::filesystem::path& archive, const std::filesystem::path& destination,
                                      const SingleFileOptions& options = {}) {
    SingleFileResult result;
    std::unique_ptr<TUnBase> base = CreateReader(options.type != atNA ? options.type : DetectType(archive));
    auto* reader = dynamic_cast<TUnSingleFile*>(base.get());
    if (reader == nullptr) {
        result.reported = "no single-file reader\n";
        return result;
    }
    const auto file_part = [](const std::string& path) { return std::filesystem::path(path).filename().string(); };
    reader->OnError = [&](TObject*, const std::string& file, const std::string& extended, const std::string&, int code) {
        result.errors.push_back(code);
        result.reported += file_part(file) + ": " + ErrorText(code, extended) + "\n";
    };
    reader->OnEnd = [&](TObject*, const std::string& file, bool pass) {
        if (pass) result.passed.push_back(file_part(file));
        else result.reported += file_part(file) + ": fails its check\n";
    };
    if (options.untar) {
        reader->OnNestedTarFile = [&](TObject*, const std::string& file, bool& untar) {
            result.asked.push_back(file);
            untar = *options.untar;
        };
    }
    reader->OnChangeArchive = [&](TObject*, const std::string& name, TArcType) { result.changed.push_back(name); };
    reader->SetArchiveFile(archive.string());
    reader->FileSpec = {"*.*"};
    reader->UseStoredDirs = reader->CreateStoredDirs = options.stored_dirs;
    reader->OverwriteMode = omOverwrite;
    if (!options.temp_dir.empty()) reader->SetTempDir(options.temp_dir);
    reader->SetExtractDir(destination.string());
    result.processed = options.testing ? reader->TestArchive() : reader->Extract();
    return result;
}

}  // namespace kv::test
