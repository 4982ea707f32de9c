#include "outside/zipeng/archive_rewrite.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kv::zipeng {
namespace {

constexpr int kStepCopyingZipFile = 2;
constexpr int kStepCentralDirectory = 7;

std::string FolderOf(const std::string& file) {
    const std::filesystem::path parent = std::filesystem::path(file).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// What a new file gets when the process creates it: the temporary file starts private.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool TArchiveRewrite::Open() {
    struct stat st{};
    if (::stat(archive_.c_str(), &st) != 0 && errno == ENOENT) return true;
    old_stream_ = std::make_unique<TFileStream32>(archive_, TFileOpenMode::fmOpenRead);
    if (!old_stream_->IsValid()) {
        reporter_.Message(zeOpen, "Error opening file " + archive_ + ": " + std::strerror(old_stream_->LastError()));
        return false;
    }
    auto old = ReadExistingZip(*old_stream_, archive_);
    if (!old) {
        reporter_.Message(zeFormat, archive_ + " is not a valid ZIP archive or its directory is damaged");
        return false;
    }
    old_ = std::move(*old);
    return true;
}

void TArchiveRewrite::ReportWriteError() {
    if (reporter_.Stopped()) return;
    const int error = writer_ ? writer_->LastError() : 0;
    reporter_.Message(zeWrite, "Error writing the temporary file " + (temp_ ? temp_->TempFileName() : std::string()) +
                                   ": " + std::strerror(error != 0 ? error : EIO));
}

bool TArchiveRewrite::Begin(const std::string& temp_dir, const std::vector<const TKeptEntry*>& kept) {
    const std::string folder = temp_dir.empty() ? FolderOf(archive_) : temp_dir;
    temp_ = std::make_unique<TTempFileStream>(folder);
    if (!temp_->IsValid()) {
        reporter_.Message(zeTemp, "Could not create a temporary file in " + folder + ": " +
                                      std::strerror(temp_->LastError()));
        return false;
    }
    // Replacing an archive keeps its permissions; a new one gets those of any new file.
    if (!Existed()) ::fchmod(temp_->Handle(), NewFileMode());
    writer_ = std::make_unique<TZipArchiveWriter>(*temp_);

    std::int64_t total = old_.PrefixSize;
    for (const TKeptEntry* entry : kept) total += entry->Length;
    if (total == 0) return !reporter_.Stopped();
    if (!reporter_.NewStep(kStepCopyingZipFile, total, "Copying Zip File")) return false;
    const TWriteProgress progress = [this](std::int64_t bytes) { return reporter_.StepProgress(bytes); };
    bool ok = old_.PrefixSize == 0 || writer_->WritePrefix(*old_stream_, old_.PrefixSize, progress);
    for (std::size_t i = 0; ok && i < kept.size(); ++i) {
        ok = writer_->CopyEntry(*old_stream_, kept[i]->Offset, kept[i]->Length, kept[i]->Central, progress);
    }
    if (!ok) ReportWriteError();
    return ok;
}

bool TArchiveRewrite::CopyKept(const TKeptEntry& entry) {
    if (writer_->CopyEntry(*old_stream_, entry.Offset, entry.Length, entry.Central, {})) return true;
    ReportWriteError();
    return false;
}

bool TArchiveRewrite::Finish(const std::string& comment) {
    if (!reporter_.NewStep(kStepCentralDirectory, writer_->CentralDirectorySize(), "Central Directory")) return false;
    if (!writer_->Finish(comment, [this](std::int64_t bytes) { return reporter_.StepProgress(bytes); })) {
        ReportWriteError();
        return false;
    }
    if (reporter_.Stopped()) return false;
    temp_->OnMoveError = [this](int, const std::string& file) {
        reporter_.Message(zeWrite, "Could not put the new archive in place of " + file + ": " + std::strerror(errno));
    };
    old_stream_.reset();
    return temp_->MoveOverArchive(archive_) == 0;
}

}  // namespace kv::zipeng
