#include "outside/unzeng/unz_eng_reader.h"

#include <sys/stat.h>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/core/output_path.h"
#include "outside/unzeng/unz_eng_errors.h"
#include "platform/paths.h"

namespace kv {
namespace {

// MS-DOS times hold even seconds: a file up to one second older than its entry is the same version.
bool IsOlderThan(const std::string& path, std::uint32_t dos_date_time) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    return info.st_mtime + 1 < DateTimeToFileTime(DosDateTimeToDateTime(dos_date_time));
}

}  // namespace

TUnzEngReader::TUnzEngReader(TRequestChannel& requests, const TUnzEngOptions& options)
    : requests_(requests), options_(options) {
    OnError = [this](TObject*, const std::string& file, const std::string& extended, const std::string&, int code) {
        Error(file, extended, code);
    };
    OnEnd = [this](TObject*, const std::string&, bool pass) {
        if (!current_.Open || current_.Directory) return;
        current_.Ended = true;
        current_.Passed = pass;
        current_.FoundCrc = ~Crc32Value;
        FinishEntry();
    };
    OnBegin = [this](TObject*, const std::string& path, int, bool& extract) { extract = Begins(path); };
    OnFileExists = [this](TObject*, const std::string& path, std::string&, TOverwriteMode& mode) {
        mode = Overwrites(path) ? omOverwrite : omSkip;
    };
    OnRenameFile = [this](TObject*, const std::string& path, std::string& new_path) { new_path = Renamed(path); };
    OnGetPassword = [this](TObject*, const std::string&, std::string& password, TSeedKeyRecord&, TSeedKeyRecord&,
                           bool& try_again) { try_again = AskPassword(password); };
    // The volumes of a split archive lie beside it.
    OnNextVolume = [](TObject*, std::string&, int, bool exists, bool& cancel) { cancel = !exists; };
    ConfirmOverwrites = true;
    // One refusal more than the requests allowed: it tells the engine that no password came.
    PasswordAttempts = options.PasswordRequests + 1;
}

int TUnzEngReader::Run() {
    if (options_.Test) TestArchive();
    else Extract();
    FinishEntry();
    if (!requests_.Stopped()) requests_.Send(zrEndOfBatch);
    return succeeded_;
}

const ZipCallbackRecord& TUnzEngReader::Request(ZipEngRequest code, std::int32_t arg1, std::int32_t arg2,
                                                std::string_view text, std::int64_t size) {
    const ZipCallbackRecord& answer = requests_.Send(code, arg1, arg2, text, size);
    if (requests_.Stopped() && !GetCancel()) SetCancel(true);
    return answer;
}

void TUnzEngReader::EntriesSelected(int files, std::int64_t unpacked_bytes) {
    Request(zrFileCount, 0, files, {});
    Request(zrByteTotal, static_cast<std::int32_t>(unpacked_bytes >> 32), static_cast<std::int32_t>(unpacked_bytes), {},
            unpacked_bytes);
}

void TUnzEngReader::EntryStarts(int index, const std::string& name, const TZipEntryHeader& header, bool directory) {
    FinishEntry();
    current_ = TCurrentEntry{.Open = true, .Directory = directory, .Index = index, .Name = name, .Crc = header.Crc,
                             .DosDateTime = header.DosDateTime};
    if (directory) return;
    const auto size = static_cast<std::int64_t>(std::min<std::uint64_t>(header.UnpackedSize, INT64_MAX));
    Request(zrNewItem, 0, static_cast<std::int32_t>(size), name, size);
}

std::int64_t TUnzEngReader::WriteBlock(TStream32* output, std::uint8_t* buffer, bool to_output, std::int64_t count,
                                       int crc_kind, bool enciphered) {
    const std::int64_t written = TUnZip::WriteBlock(output, buffer, to_output, count, crc_kind, enciphered);
    if (count > 0) Request(zrBytesDone, 0, static_cast<std::int32_t>(count), {}, count);
    return written;
}

void TUnzEngReader::FinishEntry() {
    if (!current_.Open) return;
    current_.Open = false;
    if (current_.Directory || requests_.Stopped()) return;
    if (current_.Ended && current_.Passed) {
        ++succeeded_;
        return;
    }
    const std::string& name = current_.Name;
    if (current_.SkipType >= 0) {
        Request(zrSkipped, zeOk, current_.SkipType + 1, name);
    } else if (current_.Ended && (current_.Error == 0 || current_.Error == ecode::kDecompressionError)) {
        // The data was there but failed its check: the caller keeps or drops what was written (kept only
        // where no older file bears the name, which is never replaced by it).
        const ZipCallbackRecord& answer =
            Request(zrCrcError, static_cast<std::int32_t>(current_.FoundCrc), static_cast<std::int32_t>(current_.Crc), name);
        KeepFailedOutput = !options_.Test && answer.Arg1 != 0;
    } else {
        const int error = current_.Error != 0 ? current_.Error : ecode::kUnknownError;
        Request(zrSkipped, ZipEngErrorOf(error), SkipReasonOf(error) + 1, name);
    }
}

void TUnzEngReader::Error(const std::string& file, const std::string& extended, int code) {
    if (requests_.Stopped()) return;
    const bool in_entry = current_.Open && !current_.Directory && !current_.Ended;
    if (in_entry && current_.Error == 0) current_.Error = code;
    // A refused password is told once, by the entry's skip; the text would show the password tried.
    if (code == ecode::kInvalidPassword) return;
    Request(zrMessage, ZipEngErrorOf(code), 0, file + ": " + ErrorText(code, extended));
    if (!in_entry && IsSelectionError(code)) Request(zrSkipped, ZipEngErrorOf(code), SkipReasonOf(code) + 1, file);
}

bool TUnzEngReader::Begins(const std::string& path) {
    if (!current_.Open || current_.Directory || options_.Test) return true;
    if (options_.Freshen && !options_.Update && !platform::FileExists(path)) {
        current_.SkipType = srOnFreshen;
        return false;
    }
    return true;
}

bool TUnzEngReader::Overwrites(const std::string& path) {
    const bool older = IsOlderThan(path, current_.DosDateTime);
    if ((options_.Update || options_.Freshen) && !older) {
        current_.SkipType = options_.Update ? srFileExists : srOnFreshen;
        return false;
    }
    if (options_.OverWrite) return true;
    const ZipCallbackRecord& answer =
        Request(zrOverwrite, (current_.Index & 0xFFFF) | (older ? 1 << 16 : 0), 0, current_.Name);
    if (answer.Arg2 != 0 && !GetCancel()) return true;
    current_.SkipType = srNoOverwrite;
    return false;
}

std::string TUnzEngReader::Renamed(const std::string& path) {
    const std::string& base = ExtractDir();
    const std::string relative = path.starts_with(base) ? path.substr(base.size()) : path;
    const ZipCallbackRecord& answer = Request(zrExtractName, 0, 0, relative);
    if (answer.Arg1 != 1) return {};
    const std::string chosen = requests_.AnswerText();
    if (chosen.empty() || chosen == relative) return {};
    // The new name stays below the destination and goes through no link, as a stored name would.
    const std::optional<std::string> renamed = BuildOutputPath(base, chosen, true);
    if (!renamed || OutputTree.Inspect(*renamed) == platform::TOutputPathState::opsRefused) {
        Request(zrMessage, zeCreate, 0, chosen + ": " + ErrorText(ecode::kInvalidFileName, {}));
        return {};
    }
    return *renamed;
}

bool TUnzEngReader::AskPassword(std::string& password) {
    if (no_more_passwords_ || current_.PasswordRequests >= options_.PasswordRequests) return false;
    const ZipCallbackRecord& answer = Request(zrPassword, 0, current_.PasswordRequests++, current_.Name);
    if (requests_.Stopped()) return false;
    if ((answer.ActionCode & 0xFF) == 0) no_more_passwords_ = true;
    if (answer.Arg1 != 1 || answer.Text[0] == '\0') return false;
    password = requests_.AnswerText();
    return true;
}

}  // namespace kv
