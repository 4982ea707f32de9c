#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "engine/core/dates.h"
#include "engine/core/zip_headers.h"
#include "engine/writers/ordered_encoder.h"
#include "engine/writers/whole_file.h"
#include "engine/writers/zip_stored_name.h"
#include "outside/zipeng/archive_rewrite.h"
#include "outside/zipeng/job_settings.h"
#include "outside/zipeng/source_files.h"
#include "outside/zipeng/zip_jobs.h"
#include "platform/file_attributes_linux.h"
#include "platform/trash.h"

namespace kv::zipeng {
namespace {

// One file as it will be written.
struct TPlannedFile {
    TSourceFile Source;
    TZipRecordEntry Header;   // name, date and attributes; the encoder fills in the rest
    TEntryEncoding Encoding;
    const TKeptEntry* Replaces = nullptr;
    bool Streamed() const { return !Source.IsFolder && !Source.IsLink && Source.Size > kWholeEntryBudget; }
};

class TAddJob {
public:
    TAddJob(const ZipCommand& command, TJobReporter& reporter)
        : command_(command), reporter_(reporter), archive_(Text(command.ZipFileName)), rewrite_(archive_, reporter) {}

    std::int32_t Run();

private:
    std::int32_t Stop() { return reporter_.Stopped() ? zrsCancelled : 0; }
    bool Plan(std::vector<TSourceFile> sources);
    std::optional<TEntryCipherOptions> CipherFor(const TSourceFile& source);
    TZipRecordEntry HeaderFor(const TSourceFile& source, const std::string& stored) const;
    bool WriteFiles();
    // Writes one planned file; false when the job must end. A file that cannot be read is reported and
    // left out (the entry it was to replace is kept).
    bool WriteFile(std::size_t index, TOrderedEncoder& encoder);
    bool KeepReplaced(const TPlannedFile& file, const std::string& why);
    void SetArchiveDate() const;
    void RemoveMovedFiles() const;

    const ZipCommand& command_;
    TJobReporter& reporter_;
    std::string archive_;
    TArchiveRewrite rewrite_;
    std::vector<TPlannedFile> planned_;
    std::vector<bool> written_;
    std::optional<std::string> asked_password_;
    bool password_asked_ = false;
    std::int32_t added_ = 0;
};

std::optional<TEntryCipherOptions> TAddJob::CipherFor(const TSourceFile& source) {
    TEntryCipherOptions cipher;
    const ZipSpecEntry& line = command_.Specs[source.Line];
    if (line.Encrypt == 0 || source.IsFolder || source.IsLink) return cipher;
    std::string password = Text(line.Password);
    if (password.empty()) password = Text(command_.Password);
    if (password.empty()) {
        if (!password_asked_) asked_password_ = reporter_.AddPassword(source.StoredName);
        password_asked_ = true;
        if (!asked_password_) return std::nullopt;
        password = *asked_password_;
    }
    cipher.Kind = IsAesStrength(command_.AesStrength) ? TEntryCipherKind::ecAes : TEntryCipherKind::ecZipCrypto;
    cipher.AesStrength = command_.AesStrength;
    cipher.Password = std::move(password);
    return cipher;
}

TZipRecordEntry TAddJob::HeaderFor(const TSourceFile& source, const std::string& stored) const {
    TZipRecordEntry header;
    const auto encoding = command_.CodePage == 2 ? TZipNameEncoding::znOem : TZipNameEncoding::znUtf8;
    TZipStoredName name = MakeZipStoredName(stored, encoding);
    header.StoredName = std::move(name.Bytes);
    if (name.Utf8) header.Flags |= kZipFlagUtf8;
    header.DosDateTime = FileTimeToDosDateTime(source.ModTime);
    std::uint32_t dos = source.IsFolder ? platform::kFaDirectory : platform::kFaArchive;
    if ((source.Mode & S_IWUSR) == 0) dos |= platform::kFaReadOnly;
    if (Flag(command_.ForceDos)) {
        // MS-DOS host: attributes of that system only.
        header.VersionMadeBy = kZipVersionDefault;
        header.ExternalAttr = dos;
        return header;
    }
    // An OEM name needs the MS-DOS host to be read as OEM; the Unix mode stays in the high half, where the
    // program's reader takes it from whatever the host.
    if (name.Oem) header.VersionMadeBy = kZipVersionDefault;
    header.ExternalAttr = static_cast<std::uint32_t>(source.Mode & 0xFFFF) << 16 | dos;
    return header;
}

bool TAddJob::Plan(std::vector<TSourceFile> sources) {
    std::map<std::string, const TKeptEntry*> old_by_name;
    // Names are compared exactly: on this file system "a.h" and "A.h" are two files, both kept.
    for (const TKeptEntry& entry : rewrite_.Old().Entries) old_by_name.emplace(entry.Name, &entry);
    const bool update = Flag(command_.Update);
    const bool freshen = Flag(command_.Freshen) && !update;
    const std::vector<std::string> suffixes = ParseStoreSuffixes(command_.StoreSuffixes);
    std::set<std::string> taken;
    for (TSourceFile& source : sources) {
        std::string stored = SafeStoredName(reporter_.AddName(source.StoredName, source.DiskPath));
        if (reporter_.Stopped()) return false;
        if (source.IsFolder && !stored.empty() && stored.back() != '/') stored += '/';
        if (stored.empty() || !taken.insert(stored).second) continue;
        TPlannedFile file;
        file.Header = HeaderFor(source, stored);
        const auto old = old_by_name.find(stored);
        if (old != old_by_name.end()) file.Replaces = old->second;
        const bool newer = file.Replaces == nullptr || file.Header.DosDateTime > file.Replaces->Central.DosDateTime;
        if (freshen && (file.Replaces == nullptr || !newer)) continue;
        if (update && !newer) continue;
        const auto cipher = CipherFor(source);
        if (reporter_.Stopped()) return false;
        if (!cipher) {
            reporter_.Message(zePassword, "No password given: " + source.DiskPath + " is not added");
            continue;
        }
        file.Encoding.Cipher = *cipher;
        const int level = std::clamp(command_.Level, 0, 9);
        // A link's target text is stored plain, as Unix archivers store it.
        file.Encoding.Level = source.IsLink || HasStoreSuffix(stored, suffixes) ? 0 : level;
        file.Source = std::move(source);
        planned_.push_back(std::move(file));
    }
    return !reporter_.Stopped();
}

bool TAddJob::KeepReplaced(const TPlannedFile& file, const std::string& why) {
    reporter_.Message(zeRead, why);
    return file.Replaces == nullptr || rewrite_.CopyKept(*file.Replaces);
}

bool TAddJob::WriteFile(std::size_t index, TOrderedEncoder& encoder) {
    TPlannedFile& file = planned_[index];
    TZipArchiveWriter& writer = rewrite_.Writer();
    if (!reporter_.NewItem(file.Header.StoredName, file.Source.Size)) return false;
    if (file.Source.IsFolder) {
        if (!writer.AddEncoded(file.Header, {})) return rewrite_.ReportWriteError(), false;
        return written_[index] = true;
    }
    if (file.Streamed()) {
        TFileStream32 source(file.Source.DiskPath, TFileOpenMode::fmOpenRead);
        if (!source.IsValid()) {
            return KeepReplaced(file, "Error opening file " + file.Source.DiskPath + ": " +
                                          std::strerror(source.LastError()));
        }
        const TEncodeProgress progress = [this](std::int64_t bytes) { return reporter_.BytesDone(bytes); };
        switch (writer.AddStreamed(file.Header, static_cast<std::uint64_t>(file.Source.Size), source, file.Encoding,
                                   progress)) {
            case TStreamOutcome::soDone: break;
            case TStreamOutcome::soReadError:
                return KeepReplaced(file, "Error reading file " + file.Source.DiskPath + ": " +
                                              std::strerror(source.LastError() != 0 ? source.LastError() : EIO));
            case TStreamOutcome::soWriteError: rewrite_.ReportWriteError(); return false;
            case TStreamOutcome::soCancelled: return false;
        }
    } else {
        TEncodedEntry encoded = encoder.Take(index);
        if (encoded.Error != 0) {
            return KeepReplaced(file, "Error reading file " + file.Source.DiskPath + ": " + std::strerror(encoded.Error));
        }
        if (!writer.AddEncoded(std::move(encoded.Entry), encoded.Packed)) return rewrite_.ReportWriteError(), false;
        if (!reporter_.BytesDone(file.Source.Size)) return false;
    }
    ++added_;
    return written_[index] = true;
}

bool TAddJob::WriteFiles() {
    written_.assign(planned_.size(), false);
    TOrderedEncoder encoder(
        planned_.size(),
        [this](std::size_t i) -> std::int64_t { return planned_[i].Streamed() || planned_[i].Source.IsFolder ? -1 : planned_[i].Source.Size; },
        [this](std::size_t i, TBufferEncoder& buffer_encoder) {
            const TPlannedFile& file = planned_[i];
            TEncodedEntry encoded;
            const TReadResult read = file.Source.IsLink
                                         ? ReadLinkTarget(file.Source.DiskPath, buffer_encoder)
                                         : ReadWholeFile(file.Source.DiskPath, file.Source.Size, buffer_encoder);
            encoded.Error = read.Error;
            if (encoded.Error != 0) return encoded;
            encoded.Entry = file.Header;
            encoded.Packed =
                buffer_encoder.Encode(buffer_encoder.InputBuffer().data(), read.Size, file.Encoding, encoded.Entry);
            return encoded;
        },
        EncoderThreads(command_.Threads), kWholeEntryBudget);
    for (std::size_t i = 0; i < planned_.size(); ++i) {
        if (!WriteFile(i, encoder)) return false;
    }
    return true;
}

void TAddJob::SetArchiveDate() const {
    std::uint32_t newest = 0;
    for (const TZipRecordEntry& entry : rewrite_.Writer().Entries()) newest = std::max(newest, entry.DosDateTime);
    if (newest == 0) return;
    const std::time_t time = DateTimeToFileTime(DosDateTimeToDateTime(newest));
    const struct timespec times[2] = {{time, 0}, {time, 0}};
    ::utimensat(AT_FDCWD, archive_.c_str(), times, 0);
}

void TAddJob::RemoveMovedFiles() const {
    const bool undo = Flag(command_.AllowUndo);
    for (std::size_t i = 0; i < planned_.size(); ++i) {
        if (written_[i] && !planned_[i].Source.IsFolder) platform::RemoveFile(planned_[i].Source.DiskPath, undo);
    }
    // Folders last, the deepest first, and only those left empty.
    for (std::size_t i = planned_.size(); i-- > 0;) {
        const TSourceFile& source = planned_[i].Source;
        std::error_code error;
        if (written_[i] && source.IsFolder && std::filesystem::is_empty(source.DiskPath, error) &&
            !(undo && platform::MoveToTrash(source.DiskPath))) {
            ::rmdir(source.DiskPath.c_str());
        }
    }
}

std::int32_t TAddJob::Run() {
    if (!rewrite_.Open()) return Stop();
    TGatherOptions options;
    options.BaseDir = Text(command_.RootDir);
    if (options.BaseDir.empty()) options.BaseDir = std::filesystem::current_path().string();
    options.HiddenFiles = Flag(command_.HiddenFiles);
    options.FolderEntries = !Flag(command_.NoSeparateDirs);
    options.JunkDirNames = Flag(command_.JunkDirNames);
    // An MS-DOS host has no links: they are taken as what they lead to.
    options.FollowLinks = Flag(command_.FollowLinks) || Flag(command_.ForceDos);
    for (std::int32_t i = 0; i < command_.ExcludeCount; ++i) {
        if (command_.Excludes[i] != nullptr && *command_.Excludes[i] != '\0') options.Excludes.push_back(command_.Excludes[i]);
    }
    if (Flag(command_.FromDate)) options.FromDosDate = ParseFromDate(command_.FromDateText);
    options.ArchivePath = archive_;
    auto sources = GatherSources(command_, options, [this](ZipEngError error, const std::string& text) {
        reporter_.Message(error, text);
    });
    if (reporter_.Stopped() || !Plan(std::move(sources))) return Stop();
    if (planned_.empty()) {
        reporter_.Message(zeNothing, "Nothing to do: no files to add to " + archive_);
        reporter_.EndOfBatch();
        return 0;
    }

    std::int64_t bytes = 0;
    for (const TPlannedFile& file : planned_) bytes += file.Source.Size;
    if (!reporter_.FileCount(static_cast<std::int64_t>(planned_.size())) || !reporter_.ByteTotal(bytes)) return Stop();
    std::set<const TKeptEntry*> replaced;
    for (const TPlannedFile& file : planned_) replaced.insert(file.Replaces);
    std::vector<const TKeptEntry*> kept;
    for (const TKeptEntry& entry : rewrite_.Old().Entries) {
        if (replaced.count(&entry) == 0) kept.push_back(&entry);
    }
    if (!rewrite_.Begin(Text(command_.TempDir), kept) || !WriteFiles() ||
        !rewrite_.Finish(Text(command_.ArchiveComment))) {
        return Stop();
    }
    if (Flag(command_.ZipTime)) SetArchiveDate();
    if (Flag(command_.Move)) RemoveMovedFiles();
    reporter_.EndOfBatch();
    return added_;
}

}  // namespace

std::int32_t RunAddJob(const ZipCommand& command, TJobReporter& reporter) { return TAddJob(command, reporter).Run(); }

}  // namespace kv::zipeng
