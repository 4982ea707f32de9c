// How the engines' events during an operation become the facade's own.
#include <sys/stat.h>

#include <optional>

#include "engine/core/custom_dclass.h"
#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/core/percent.h"
#include "engine/core/text_case.h"
#include "engine/readers/un_single_file.h"
#include "engine/writers/comp_base.h"
#include "facade/kv_comp.h"
#include "platform/paths.h"
#include "zipmanager/zip_manager.h"

namespace kv::facade {
namespace {

TArcEntry DiskFileEntry(const std::string& path) {
    TArcEntry entry;
    entry.FileName = path;
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        entry.Size = st.st_size;
        entry.DateTime = UnixTimeToDateTime(st.st_mtime);
    }
    return entry;
}

}  // namespace

bool TkvComp::Silent() const { return ExtOptions.Has(eoSilent); }

void TkvComp::NoteProcessed(const std::string& file_name) {
    if (processed_index_.insert(file_name).second) processed_files_.push_back(file_name);
}

void TkvComp::ClearProcessed() {
    processed_files_.clear();
    processed_index_.clear();
}

// ---- questions shared by both paths ----

const TArcEntry* TkvComp::EntryForFile(const std::string& relative) {
    if (entry_index_.empty()) {
        // Built once per operation: a question per file must not walk every entry.
        for (const TArcEntry& entry : entries_) {
            entry_index_.emplace(UpperCaseText(entry.FileName), &entry);
            const std::size_t cut = entry.FileName.rfind(platform::kPathDelim);
            if (cut != std::string::npos && cut + 1 < entry.FileName.size())
                file_name_index_.emplace(UpperCaseText(std::string_view(entry.FileName).substr(cut + 1)), &entry);
        }
    }
    const std::string key = UpperCaseText(relative);
    if (const auto found = entry_index_.find(key); found != entry_index_.end()) return found->second;
    // Extracted without folders: the first entry of that file name.
    if (relative.find(platform::kPathDelim) == std::string::npos) {
        if (const auto found = file_name_index_.find(key); found != file_name_index_.end()) return found->second;
    }
    return nullptr;
}

void TkvComp::ForgetEntryIndex() {
    entry_index_.clear();
    file_name_index_.clear();
}

std::optional<bool> TkvComp::AskOverwrite(const std::string& disk_path, bool& cancel) {
    if (remembered_overwrite_ == komOverwriteAll) return true;
    if (remembered_overwrite_ == komSkipAll) return false;
    // The name below the extraction folder, wherever the folder's delimiter is.
    std::string relative = disk_path;
    if (!extract_folder_.empty() && relative.starts_with(extract_folder_)) relative.erase(0, extract_folder_.size());
    if (!OnOverwrite) return std::nullopt;
    // An entry the listing does not show (a member of a compressed TAR read as it is decoded) is asked
    // about by its name: never replaced unasked.
    TArcEntry unlisted;
    unlisted.FileName = relative;
    const TArcEntry* in_archive = EntryForFile(relative);
    TkvOverwriteMode mode = komNotSet;
    OnOverwrite(this, DiskFileEntry(disk_path), in_archive != nullptr ? *in_archive : unlisted, mode);
    remembered_overwrite_ = mode;
    switch (mode) {
        case komOverwrite:
        case komOverwriteAll: return true;
        case komSkip:
        case komSkipAll: return false;
        case komCancel:
            remembered_overwrite_ = komSkipAll;
            cancel = true;
            return false;
        case komNotSet: break;
    }
    return std::nullopt;
}

std::optional<std::string> TkvComp::AskPassword(const std::string& file_name, bool& cancel) {
    if (password_tries_left_ == 0 || !OnPassword) return std::nullopt;
    std::string password;
    OnPassword(this, file_name, password, cancel);
    --password_tries_left_;
    return password;
}

// ---- the ZIP manager ----

void TkvComp::HandleZipEvents() {
    TZipManager& zm = *zip_manager_;
    zm.OnMessage = [this](TObject*, int code, const std::string& text) {
        if (OnMessage) OnMessage(this, code, text);
    };
    zm.OnProgress = [this](TObject*, ProgressType type, const std::string& file_name, std::int64_t size) {
        ZipProgress(type, file_name, size);
    };
    zm.OnPasswordError = [this](TObject*, bool, std::string& password, const std::string& file_name,
                                std::uint32_t& repeat, TPasswordButton&) {
        bool cancel = false;
        if (const auto given = AskPassword(file_name, cancel)) password = *given;
        if (cancel) repeat = 0;
    };
    zm.OnExtractOverwrite = [this](TObject*, const std::string& file_name, bool, bool& overwrite, int) {
        // The library names the entry; the question is about the file it would replace.
        std::string path = file_name;
        if (!path.starts_with(platform::kPathDelim)) {
            const std::size_t cut = path.rfind(platform::kPathDelim);
            if (!ExtOptions.Has(eoDirNames) && cut != std::string::npos) path.erase(0, cut + 1);
            path = extract_folder_ + path;
        }
        bool cancel = false;
        if (const auto answer = AskOverwrite(path, cancel)) overwrite = *answer;
        if (cancel) zip_manager_->SetCancel(true);
    };
    zm.OnCRC32Error = [this](TObject*, const std::string& file_name, std::uint32_t found, std::uint32_t expected,
                             bool& extract) {
        if (!OnCRCError) return;
        bool cancel = extract;
        OnCRCError(this, file_name, found, expected, cancel);
        extract = !cancel;
    };
    zm.OnGetNextDisk = [this](TObject*, int disk, int total, const std::string& drive, bool& abort) {
        if (OnNextVolume) OnNextVolume(this, disk, total, drive, abort);
    };
    // A refused password is the one failure the library tells by a skip alone; without this it would pass
    // for an extracted entry.
    zm.OnExtractSkipped = [this](TObject*, const std::string& file_name, UnZipSkipTypes type, int) {
        if (type == stBadPassword && OnMessage)
            OnMessage(this, ecode::kInvalidPassword, file_name + ": " + std::string(LoadStr(ecode::kInvalidPassword)));
    };
}

void TkvComp::ZipProgress(int type, const std::string& file_name, std::int64_t size) {
    if (!OnProgress || Silent()) return;
    switch (type) {
        case NewFile:
            progress_.FileName = file_name;
            progress_.FileSize = size;
            progress_.FileDone = 0;
            OnProgress(this, 0, 0, file_name);
            password_tries_left_ = PasswordReqCount;
            NoteProcessed(file_name);
            break;
        case ProgressUpdate:
            progress_.FileDone += size;
            progress_.TotalDone += size;
            OnProgress(this, Percent(progress_.FileDone, progress_.FileSize),
                       Percent(progress_.TotalDone, progress_.TotalSize), progress_.FileName);
            break;
        case EndOfBatch:
            progress_ = {};
            OnProgress(this, 0, 0, {});
            remembered_overwrite_ = komNotSet;
            status_ = asReady;
            if (OnEnd) OnEnd(this);
            break;
        case TotalSize2Process:
            ClearProcessed();
            progress_.TotalSize = size;
            progress_.TotalDone = 0;
            if (OnBegin) OnBegin(this);
            OnProgress(this, 0, 0, {});
            break;
        default: break;
    }
}

// ---- writers and readers ----

void TkvComp::ConnectEngine(TZipCommon& engine) {
    engine.SetTempDir(temp_dir_);
    engine.OnActivate = [this](TObject*) {
        if (!Silent() && OnBegin) OnBegin(this);
        remembered_overwrite_ = komNotSet;
    };
    engine.OnDeactivate = [this](TObject*) { EngineDeactivated(); };
    engine.OnProgress = [this](TObject*, std::uint8_t by_file, std::uint8_t by_archive) {
        last_archive_percent_ = by_archive;
        if (OnProgress) OnProgress(this, by_file, by_archive, progress_.FileName);
    };
    engine.OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        if (OnMessage) OnMessage(this, code, {});
    };
    engine.OnNextVolume = [this](TObject*, std::string& volume, int volume_id, bool exists, bool& cancel) {
        if (exists) {
            cancel = false;
            return;
        }
        if (!OnNextVolume) return;
        const bool has_drive = volume.size() >= 2 && volume[1] == ':' &&
                               ((volume[0] >= 'A' && volume[0] <= 'Z') || (volume[0] >= 'a' && volume[0] <= 'z'));
        bool abort = false;
        OnNextVolume(this, volume_id, 0, has_drive ? volume.substr(0, 1) : std::string(), abort);
        cancel = abort;
    };
}

TOnBegin TkvComp::EntryBeginHandler() {
    return [this](TObject*, const std::string& file_name, int, bool&) {
        if (!Silent() && OnProgress) OnProgress(this, 0, last_archive_percent_, file_name);
        NoteProcessed(file_name);
    };
}

TOnEnd TkvComp::EntryEndHandler() {
    return [this](TObject*, const std::string& file_name, bool passed) {
        if (!Silent() && OnProgress) OnProgress(this, 0, last_archive_percent_, file_name);
        password_tries_left_ = PasswordReqCount;
        // With its end event taken, the engine leaves the failed check to whoever took it.
        if (!passed && OnMessage) OnMessage(this, ecode::kFileFailsCrcCheck, {});
    };
}

void TkvComp::ConnectWriter(TCompBase& writer) {
    ConnectEngine(writer);
    writer.OnBegin = EntryBeginHandler();
    writer.OnEnd = EntryEndHandler();
    // Adding a file that differs from the entry of its name replaces the entry; an update only with a
    // newer file.
    writer.OnReplaceFile = [this](TObject*, const std::string&, const std::string&, TDateTime date, TDateTime new_date,
                                  std::int64_t, std::int64_t, int, int, bool& replace) {
        replace = AddMode != amUpdate || new_date > date;
    };
    writer.OnRenameDupeFile = [](TObject*, const std::string&, std::string&, bool& rename) { rename = false; };
    // A compressed single file (GZIP, BZIP2) that exists is replaced, as an entry of the same name is.
    writer.OnFileExists = [](TObject*, const std::string&, TDateTime, TOverwriteMode& mode) { mode = omOverwrite; };
    writer.OnDeleteFile = [](TObject*, const std::string&, int, int) {};
    writer.OnRecurseDir = [](TObject*, const std::string&) {};
    writer.OnExcludeFile = [](TObject*, const std::string&) {};
    writer.OnNonWriteableArchive = [](TObject*, const std::string&, bool&) {};
    writer.OnInsertDisk = [](TObject*, const std::string&, bool&) {};
    writer.OnElapsedTime = [](TObject*, float) {};
}

void TkvComp::ConnectReader(TUnBase& reader) {
    ConnectEngine(reader);
    reader.OnBegin = EntryBeginHandler();
    reader.OnEnd = EntryEndHandler();
    reader.OnFileExists = [this, &reader](TObject*, const std::string& file_name, std::string&, TOverwriteMode& mode) {
        bool cancel = false;
        if (const auto answer = AskOverwrite(file_name, cancel)) mode = *answer ? omOverwrite : omSkip;
        if (cancel) reader.SetCancel(true);
    };
    reader.OnGetPassword = [this](TObject*, const std::string& file_name, std::string& password, TSeedKeyRecord&,
                                  TSeedKeyRecord&, bool& try_again) {
        bool cancel = false;
        const auto given = AskPassword(file_name, cancel);
        try_again = given.has_value() && !cancel;
        if (given) password = *given;
    };
    reader.OnRenameFile = [](TObject*, const std::string&, std::string&) {};
    reader.OnExcludeFile = [](TObject*, const std::string&) {};
    reader.OnElapsedTime = [](TObject*, float) {};
    // A TAR inside a GZIP or BZIP2 file is extracted as the file it is unless ReadNestedTar asks for its
    // entries; whoever needs the TAR file (to change it) opens it as an archive of its own.
    if (auto* single = dynamic_cast<TUnSingleFile*>(&reader))
        single->OnNestedTarFile = [this](TObject*, const std::string&, bool& unpack) { unpack = ReadNestedTar; };
}

void TkvComp::EngineDeactivated() {
    if (!Silent() && OnEnd) OnEnd(this);
    if ((status_ == asExtracting || status_ == asDeleting) && !Silent() && OnProgress) OnProgress(this, 0, 0, {});
    password_tries_left_ = PasswordReqCount;
    status_ = asReady;
    // The first add has created the file, which is now listed like any other.
    if (is_new_archive_ && platform::FileExists(arc_filename_)) Open(arc_filename_);
}

}  // namespace kv::facade
