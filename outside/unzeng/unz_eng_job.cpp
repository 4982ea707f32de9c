#include "outside/unzeng/unz_eng_job.h"

#include <string>
#include <vector>

#include "engine/core/error_codes.h"
#include "engine/core/formats.h"
#include "engine/readers/format_readers.h"
#include "outside/unzeng/unz_eng_reader.h"
#include "outside/unzeng/unz_eng_requests.h"
#include "platform/dir_probe.h"
#include "platform/paths.h"

namespace kv {
namespace {

bool IsFlag(std::int32_t value) { return value != 0; }

// The ZIP types whose entries the engine's reader extracts (not the first disk of a spanned set).
bool IsZipFamily(TArcType type) { return FormatOf(type).Has(ftZipEntries) && ReadingOf(type).Reader != nullptr; }

// The entry masks: every entry without any; delimiters as the reader's names have them.
std::vector<std::string> EntryMasks(const UnzipCommand& command) {
    std::vector<std::string> masks;
    for (std::int32_t i = 0; i < command.SpecCount; ++i) {
        const char* pattern = command.Specs[i].FileSpec;
        if (pattern != nullptr && *pattern != '\0') masks.push_back(platform::ToNativeDelimiters(pattern));
    }
    if (masks.empty()) masks.push_back("*.*");
    return masks;
}

}  // namespace

std::int32_t RunUnzipJob(const UnzipCommand& command, const std::atomic<bool>& abort) {
    if (command.Check != kZipEngRecordCheck || command.Version != kZipEngVersion || command.SpecCount < 0 ||
        (command.SpecCount > 0 && command.Specs == nullptr) || command.PasswordReqCount < 0)
        return zrsBadRecord;
    TRequestChannel requests(command, abort);
    const std::string archive = command.ZipFileName != nullptr ? command.ZipFileName : "";
    if (archive.empty() || !platform::FileExists(archive)) {
        requests.Send(zrMessage, zeOpen, 0, archive + ": " + std::string(LoadStr(ecode::kFileNotFound)));
        return 0;
    }

    TUnzEngOptions options;
    options.Test = IsFlag(command.Test);
    options.OverWrite = IsFlag(command.OverWrite);
    options.Update = IsFlag(command.Update);
    options.Freshen = IsFlag(command.Freshen);
    options.PasswordRequests = command.PasswordReqCount;
    TUnzEngReader reader(requests, options);
    reader.SetArchiveFile(archive);
    if (!IsZipFamily(reader.ArcType())) {
        requests.Send(zrMessage, zeFormat, 0, archive + ": " + std::string(LoadStr(ecode::kUnknownFileType)));
        return 0;
    }
    reader.FileSpec = EntryMasks(command);
    reader.UseStoredDirs = reader.CreateStoredDirs = IsFlag(command.DirNames);
    if (command.NameCodePage != nullptr) reader.NameCodePage = command.NameCodePage;
    reader.KeepSpecialBits = IsFlag(command.KeepSpecialBits);
    // The job's password first for every entry; those the caller gives later join it.
    const std::string password = command.Password != nullptr ? command.Password : "";
    reader.Password = password;
    if (!password.empty()) reader.Passwords = {password};
    reader.WholeBufferLimit = kUnzEngWholeBufferLimit;
    if (!options.Test) {
        const std::string dir = command.ExtractDir != nullptr && *command.ExtractDir != '\0'
                                    ? platform::ToNativeDelimiters(command.ExtractDir)
                                    : platform::CurrentDirectory();
        platform::ForceDirectories(dir);
        reader.SetExtractDir(dir);
    }
    const int files = reader.Run();
    if (requests.Aborted()) return zrsAborting;
    if (requests.Stopped()) return zrsCancelled;
    return files;
}

}  // namespace kv
