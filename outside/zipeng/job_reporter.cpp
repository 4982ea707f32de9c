#include "outside/zipeng/job_reporter.h"

#include <algorithm>
#include <cstring>

namespace kv::zipeng {
namespace {

std::int32_t Low32(std::int64_t value) { return static_cast<std::int32_t>(static_cast<std::uint64_t>(value) & 0xFFFFFFFFu); }
std::int32_t High32(std::int64_t value) { return static_cast<std::int32_t>(static_cast<std::uint64_t>(value) >> 32); }

// The record's text as a string: up to its terminator, never past its room.
std::string RecordText(const ZipCallbackRecord& record) {
    return std::string(record.Text, strnlen(record.Text, sizeof(record.Text)));
}

}  // namespace

TJobReporter::TJobReporter(const ZipCommand& command, const std::atomic<bool>& abort)
    : command_(command), abort_(abort) {}

bool TJobReporter::Send(ZipEngRequest code, std::int32_t arg1, std::int64_t size, const std::string& text,
                        void* data) {
    if (Stopped()) return false;
    if (command_.Callback == nullptr) return true;
    record_ = ZipCallbackRecord{};
    record_.Handle = command_.Handle;
    record_.Caller = command_.Caller;
    record_.Version = kZipEngVersion;
    record_.IsZipOperation = -1;
    record_.ActionCode = code;
    record_.Arg1 = arg1;
    record_.Arg2 = Low32(size);
    record_.Size = size;
    const std::size_t length = std::min<std::size_t>(text.size(), kZipEngTextSize);
    std::memcpy(record_.Text, text.data(), length);
    record_.Data = data;
    if (command_.Callback(&record_) != 0) stopped_ = true;
    return !Stopped();
}

bool TJobReporter::FileCount(std::int64_t count) { return Send(zrFileCount, 0, count, {}); }

bool TJobReporter::ByteTotal(std::int64_t bytes) { return Send(zrByteTotal, High32(bytes), bytes, {}); }

bool TJobReporter::NewItem(const std::string& name, std::int64_t size) { return Send(zrNewItem, 0, size, name); }

bool TJobReporter::BytesDone(std::int64_t bytes) { return Send(zrBytesDone, 0, bytes, {}); }

bool TJobReporter::NewStep(int step, std::int64_t size, const std::string& name) {
    return Send(zrNewStep, step, size, name);
}

bool TJobReporter::StepProgress(std::int64_t bytes) { return Send(zrStepProgress, 0, bytes, {}); }

bool TJobReporter::EndOfBatch() { return Send(zrEndOfBatch, 0, 0, {}); }

bool TJobReporter::Message(ZipEngError error, const std::string& text) { return Send(zrMessage, error, 0, text); }

std::string TJobReporter::AddName(const std::string& stored_name, const std::string& disk_name) {
    std::string disk = disk_name;
    if (!Send(zrAddName, 0, 0, stored_name, disk.data())) return stored_name;
    if (command_.Callback == nullptr || record_.Arg1 != 1) return stored_name;
    return RecordText(record_);
}

std::optional<std::string> TJobReporter::AddPassword(const std::string& file_name) {
    if (!Send(zrPassword, 1, 0, file_name)) return std::nullopt;
    if (command_.Callback == nullptr || record_.Arg1 != 1) return std::nullopt;
    // A caller that left the request unanswered hands back the file's name: that is never the password.
    std::string password = RecordText(record_);
    if (password.empty() || password == file_name) return std::nullopt;
    return password;
}

}  // namespace kv::zipeng
