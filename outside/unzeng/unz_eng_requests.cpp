#include "outside/unzeng/unz_eng_requests.h"

#include <algorithm>
#include <cstring>

namespace kv {

const ZipCallbackRecord& TRequestChannel::Send(ZipEngRequest code, std::int32_t arg1, std::int32_t arg2,
                                               std::string_view text, std::int64_t size) {
    record_ = ZipCallbackRecord{};
    record_.Handle = command_.Handle;
    record_.Caller = command_.Caller;
    record_.Version = kZipEngVersion;
    record_.ActionCode = code;
    record_.Arg1 = arg1;
    record_.Arg2 = arg2;
    if (!text.empty()) std::memcpy(record_.Text, text.data(), std::min<std::size_t>(text.size(), kZipEngTextSize));
    record_.Size = size;
    if (Stopped() || command_.Callback == nullptr) return record_;
    if (command_.Callback(&record_) != 0) stopped_ = true;
    record_.Text[kZipEngTextSize] = '\0';  // whatever the caller wrote, the text ends inside the record
    return record_;
}

std::string TRequestChannel::AnswerText() const { return std::string(record_.Text); }

}  // namespace kv
