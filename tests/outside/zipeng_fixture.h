#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "outside/zip_engine_records.h"
#include "support/engine_library.h"
#include "support/test_support.h"

namespace kv::test {

// One request a job sent, as the test's callback saw it.
struct SentRequest {
    std::int32_t Code = 0;
    std::int32_t Arg1 = 0;
    std::int32_t Arg2 = 0;
    std::int64_t Size = 0;
    std::string Text;
};

inline const EngineLibrary& ZipEngLibrary() {
    static const EngineLibrary library("libzipeng.so");
    return library;
}

inline ZipEngExecFn ZipEngExecEntry() { return ZipEngLibrary().Entry<ZipEngExecFn>("ZipEngExec"); }

// A job record for libzipeng.so with its pattern lines, and a callback that logs every request and answers
// through `Answer` (0 = go on).
class ZipEngJob {
public:
    explicit ZipEngJob(const std::filesystem::path& archive) : archive_(archive.string()) {
        Command.Version = kZipEngVersion;
        Command.Version2 = kZipEngVersion;
        Command.Check = kZipEngRecordCheck;
        Command.Quiet = -1;
        Command.Level = 6;
        Command.Recurse = 0xFFFF;
        Command.Threads = 1;
        Command.Callback = &ZipEngJob::Callback;
    }

    // A pattern line: a file, folder or mask; an encrypted line carries its password or takes the job's.
    ZipEngJob& Pattern(const std::string& pattern, bool recurse = true, bool encrypt = false, const char* password = nullptr) {
        Lines.push_back({pattern, password ? std::string(password) : std::string(), password != nullptr, encrypt, recurse});
        return *this;
    }
    ZipEngJob& Exclude(const std::string& mask) {
        excludes_.push_back(mask);
        return *this;
    }

    std::int32_t Run() {
        Requests.clear();
        std::vector<ZipSpecEntry> specs(Lines.size());
        for (std::size_t i = 0; i < Lines.size(); ++i) {
            specs[i].FileSpec = Lines[i].FileSpec.c_str();
            specs[i].Password = Lines[i].HasPassword ? Lines[i].Password.c_str() : nullptr;
            specs[i].Encrypt = Lines[i].Encrypt ? 0xFFFF : 0;
            specs[i].Recurse = Lines[i].Recurse ? 0xFFFF : 0;
        }
        std::vector<const char*> excludes;
        for (const std::string& mask : excludes_) excludes.push_back(mask.c_str());
        Command.Caller = this;
        Command.ZipFileName = archive_.c_str();
        Command.Specs = specs.data();
        Command.SpecCount = static_cast<std::int32_t>(specs.size());
        Command.Excludes = excludes.data();
        Command.ExcludeCount = static_cast<std::int32_t>(excludes.size());
        if (!root_dir_.empty()) Command.RootDir = root_dir_.c_str();
        if (!password_.empty()) Command.Password = password_.c_str();
        return ZipEngExecEntry()(&Command);
    }

    ZipEngJob& RootDir(const std::filesystem::path& dir) {
        root_dir_ = dir.string();
        return *this;
    }
    ZipEngJob& Password(const std::string& password) {
        password_ = password;
        return *this;
    }

    std::vector<SentRequest> Of(std::int32_t code) const {
        std::vector<SentRequest> found;
        for (const SentRequest& request : Requests) {
            if (request.Code == code) found.push_back(request);
        }
        return found;
    }

    struct Line {
        std::string FileSpec;
        std::string Password;
        bool HasPassword;
        bool Encrypt;
        bool Recurse;
    };

    ZipCommand Command{};
    std::vector<Line> Lines;
    std::vector<SentRequest> Requests;
    std::function<std::int32_t(ZipCallbackRecord&)> Answer;

private:
    static std::int32_t Callback(ZipCallbackRecord* record) {
        auto* job = static_cast<ZipEngJob*>(record->Caller);
        job->Requests.push_back({record->ActionCode, record->Arg1, record->Arg2, record->Size, record->Text});
        return job->Answer ? job->Answer(*record) : 0;
    }

    std::string archive_;
    std::string root_dir_;
    std::string password_;
    std::vector<std::string> excludes_;
};

// Every file and folder below `dir`: relative name ("sub/" for folders) to content.
inline std::map<std::string, std::string> TreeContents(const std::filesystem::path& dir) {
    std::map<std::string, std::string> tree;
    for (const auto& item : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string name = std::filesystem::relative(item.path(), dir).generic_string();
        if (item.is_directory()) {
            tree[name + "/"] = "";
        } else {
            tree[name] = ReadFile(item.path());
        }
    }
    return tree;
}

// The archive's central directory: each entry's stored name and general-purpose flags (an archive
// without a comment whose directory starts below 4 GiB).
inline std::map<std::string, std::uint16_t> CentralNames(const std::filesystem::path& archive) {
    const std::string bytes = ReadFile(archive);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto le16 = [&](std::size_t at) { return static_cast<std::uint32_t>(p[at] | p[at + 1] << 8); };
    const auto le32 = [&](std::size_t at) { return le16(at) | le16(at + 2) << 16; };
    std::map<std::string, std::uint16_t> names;
    if (bytes.size() < 22) return names;
    std::size_t at = le32(bytes.size() - 22 + 16);
    while (at + 46 <= bytes.size() && le32(at) == 0x02014B50u) {
        const std::size_t name_length = le16(at + 28);
        names[bytes.substr(at + 46, name_length)] = static_cast<std::uint16_t>(le16(at + 8));
        at += 46 + name_length + le16(at + 30) + le16(at + 32);
    }
    return names;
}

}  // namespace kv::test
