#pragma once

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "outside/zip_engine_records.h"
#include "support/engine_library.h"

namespace kv::test {

// libunzeng.so, loaded once for the tests.
inline UnzEngExecFn UnzEngExec() {
    static const EngineLibrary library("libunzeng.so");
    static const auto exec = library.Entry<UnzEngExecFn>("UnzEngExec");
    return exec;
}

// One request a job made, as the callback saw it.
struct SeenRequest {
    std::int32_t code = 0;
    std::int32_t arg1 = 0;
    std::int32_t arg2 = 0;
    std::string text;
    std::int64_t size = 0;
};

// An extract or test job as the ZIP manager builds it; Run records every request and lets `Answer` reply.
class UnzipJob {
public:
    explicit UnzipJob(const std::filesystem::path& archive) : archive_(archive.string()) {
        command_.Caller = this;
        command_.Version = kZipEngVersion;
        command_.Callback = &Callback;
        command_.Password = "";
        command_.Quiet = -1;
        command_.ZipFileName = archive_.c_str();
        command_.PasswordReqCount = 1;
        command_.Check = kZipEngRecordCheck;
    }
    UnzipJob& Into(const std::filesystem::path& dir) {
        dir_ = dir.string();
        command_.ExtractDir = dir_.c_str();
        command_.DirNames = -1;
        return *this;
    }
    UnzipJob& Flat() { return command_.DirNames = 0, *this; }
    UnzipJob& Test() { return command_.Test = -1, *this; }
    UnzipJob& Password(std::string password) {
        password_ = std::move(password);
        command_.Password = password_.c_str();
        return *this;
    }
    UnzipJob& PasswordRequests(int count) { return command_.PasswordReqCount = count, *this; }
    UnzipJob& Masks(std::vector<std::string> masks) {
        masks_ = std::move(masks);
        specs_.assign(masks_.size(), UnzipSpecEntry{});
        for (std::size_t i = 0; i < masks_.size(); ++i) specs_[i].FileSpec = masks_[i].c_str();
        command_.SpecCount = static_cast<std::int32_t>(specs_.size());
        command_.Specs = specs_.data();
        return *this;
    }
    UnzipCommand& Command() { return command_; }

    std::int32_t Run() {
        requests.clear();
        return UnzEngExec()(&command_);
    }
    std::vector<std::int32_t> Codes() const {
        std::vector<std::int32_t> codes;
        for (const SeenRequest& r : requests) codes.push_back(r.code);
        return codes;
    }
    std::vector<SeenRequest> Of(std::int32_t code) const {
        std::vector<SeenRequest> found;
        for (const SeenRequest& r : requests)
            if (r.code == code) found.push_back(r);
        return found;
    }
    // Entry names with the skip type (UnZipSkipTypes + 1) each was skipped with, "name:type" joined by blanks.
    // The skipped entries with their skip types, in name order (archivers store files in the order their
    // folder listing gives, which differs between file systems).
    std::string Skipped() const {
        std::set<std::string> names;
        for (const SeenRequest& r : Of(zrSkipped)) names.insert(r.text + ":" + std::to_string(r.arg2) + " ");
        std::string skipped;
        for (const std::string& name : names) skipped += name;
        return skipped;
    }

    // Answers a request by changing the record; the result goes back to the library (non-zero stops it).
    std::function<std::int32_t(ZipCallbackRecord&)> Answer;
    std::vector<SeenRequest> requests;

private:
    static std::int32_t Callback(ZipCallbackRecord* record) {
        auto* job = static_cast<UnzipJob*>(record->Caller);
        job->requests.push_back({record->ActionCode, record->Arg1, record->Arg2, record->Text, record->Size});
        return job->Answer ? job->Answer(*record) : 0;
    }

    UnzipCommand command_{};
    std::string archive_;
    std::string dir_;
    std::string password_;
    std::vector<std::string> masks_;
    std::vector<UnzipSpecEntry> specs_;
};

// Writes a text into a callback record's answer.
inline void AnswerText(ZipCallbackRecord& record, const std::string& text) {
    std::memset(record.Text, 0, sizeof(record.Text));
    std::memcpy(record.Text, text.data(), std::min<std::size_t>(text.size(), kZipEngTextSize));
}

}  // namespace kv::test
