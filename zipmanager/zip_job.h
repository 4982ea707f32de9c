#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/date_time.h"
#include "engine/core/entry_enums.h"
#include "outside/zip_engine_records.h"
#include "zipmanager/zip_enums.h"

namespace kv {

// "Flag" fields of the job records: -1 for true, 0 for false.
constexpr std::int32_t JobFlag(bool value) { return value ? -1 : 0; }
inline constexpr std::uint16_t kRecurseWord = 0xFFFF;

// One line of FSpecArgs for an add job: an optional leading ">" (recurse) or "|" (do not), the text, and
// an optional "<" with the password for the files of this line ("<" alone, or followed by a blank: store
// them unencrypted).
struct TSpecLine {
    std::string FileSpec;      // trimmed; empty stands for none
    bool HasPassword = false;
    std::string Password;
    std::int32_t Encrypt = 0;
    std::uint16_t Recurse = 0;
};
// `encrypt` and `recurse` are the job's own values, which the line may override.
TSpecLine ParseSpecLine(std::string_view line, std::int32_t encrypt, std::uint16_t recurse);

// The extensions stored without compression, ".gif:.png:...:.jar" (the last ":" dropped); `extra` is the
// normalised ExtAddStoreSuffixes text, used when the set holds assEXT.
std::string StoreSuffixList(AddStoreExts set, const std::string& extra);
// ExtAddStoreSuffixes as stored: separators "," ";" ":" all become ":", each extension gets a leading ".",
// the text ends with ":" and is lower case. Empty stays empty.
std::string NormaliseStoreSuffixes(std::string_view text);

// The cut-off date as "mm dd yy" (8 characters).
std::string AddFromText(TDateTime date);

// Which cipher an encrypting add job writes (zasClassic for the classic ZIP cipher); -1 for a method the
// zip engine cannot write.
std::int32_t AesStrengthOf(TEncryptionMethod method);

// The strings a job record points to; they live as long as the record.
class TJobStrings {
public:
    const char* Keep(std::string text) { return strings_.emplace_back(std::move(text)).c_str(); }
    // Null for an empty text.
    const char* KeepOrNull(const std::string& text) { return text.empty() ? nullptr : Keep(text); }

private:
    std::deque<std::string> strings_;  // a deque keeps the addresses of what it holds
};

// Sets a running mark for the time of a job.
class TRunningMark {
public:
    explicit TRunningMark(bool& flag) : flag_(flag) { flag_ = true; }
    ~TRunningMark() { flag_ = false; }
    TRunningMark(const TRunningMark&) = delete;
    TRunningMark& operator=(const TRunningMark&) = delete;

private:
    bool& flag_;
};

// A zip job with its pattern table, exclusions and strings.
struct TZipJobRecord {
    ZipCommand Command{};
    std::vector<ZipSpecEntry> Specs;
    std::vector<const char*> Excludes;
    TJobStrings Strings;

    // Points the command at the tables once they are complete.
    void LinkTables();
};

struct TUnzipJobRecord {
    UnzipCommand Command{};
    std::vector<UnzipSpecEntry> Specs;
    TJobStrings Strings;

    void LinkTables();
};

}  // namespace kv
