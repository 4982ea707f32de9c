#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/error_codes.h"
#include "engine/writers/existing_zip.h"
#include "engine/writers/zip_writer.h"
#include "support/reader_run.h"
#include "support/sample_data.h"
#include "support/test_support.h"

namespace kv::test {

namespace fs = std::filesystem;

// Sets a file's modification time (seconds since 1970).
inline void SetFileTime(const fs::path& path, std::time_t time) {
    const struct timespec times[2] = {{time, 0}, {time, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// The old archive's entries as the writers read them.
inline std::vector<TKeptEntry> ArchiveEntries(const fs::path& archive) {
    TFileStream32 in(archive.string(), TFileOpenMode::fmOpenRead);
    const auto zip = ReadExistingZip(in, archive.string());
    return zip ? zip->Entries : std::vector<TKeptEntry>{};
}

inline std::vector<std::string> ArchiveEntryNames(const fs::path& archive) {
    std::vector<std::string> names;
    for (const TKeptEntry& entry : ArchiveEntries(archive)) names.push_back(entry.Name);
    return names;
}

// A folder with a writer's archive, its sources and its own temporary folder; errors are collected.
class WriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "src" / "sub");
        fs::create_directories(dir_ / "tmp");
    }

    template <class Writer = TZip>
    std::unique_ptr<Writer> MakeWriter(const fs::path& archive) {
        auto writer = std::make_unique<Writer>();
        writer->SetTempDir((dir_ / "tmp").string());
        writer->SetArchiveFile(archive.string());
        writer->OnError = [this](TObject*, const std::string&, const std::string& extended, const std::string&, int code) {
            errors_.push_back(code);
            error_details_.push_back(extended);
        };
        return writer;
    }

    // The folder's entries extracted by the engine's own reader, as name -> bytes.
    std::map<std::string, std::string> ExtractAll(const fs::path& archive, const std::string& password = {}) {
        const fs::path out = dir_ / ("out" + std::to_string(++extractions_));
        fs::create_directories(out);
        EXPECT_EQ(ExtractWithReader(archive, atZip, out, password), "");
        std::map<std::string, std::string> files;
        for (const auto& item : fs::recursive_directory_iterator(out)) {
            if (item.is_regular_file()) files[fs::relative(item.path(), out).generic_string()] = ReadFile(item.path());
        }
        return files;
    }

    bool TempFolderEmpty() const { return fs::is_empty(dir_ / "tmp"); }

    TempDir dir_;
    std::vector<int> errors_;
    std::vector<std::string> error_details_;
    int extractions_ = 0;
};

}  // namespace kv::test
