// Finding the archive file, its end record, and the other volumes of a spanned set.
#include <algorithm>

#include "engine/core/masks.h"
#include "platform/dir_listing.h"
#include "platform/paths.h"
#include "zipmanager/span_names.h"
#include "zipmanager/zip_core.h"

namespace kv {
namespace {

// How often a missing disk is asked for before the archive counts as invalid, so that a handler that
// never gives up cannot keep the reading going forever.
constexpr int kMaxDiskRequests = 10;

std::string NumberedName(const std::string& base, int number) {
    return SpanVolumeFileName(base + ".zip", number - 1, false, false);
}

// The three characters before ".zip", or the two after ".z" ("IP", of ".zip" itself, counting as 99).
int VolumeNumberOf(const std::string& name, bool compat) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return -1;
    if (!compat) return dot >= 3 ? ParseDigits(name, dot - 3, 3) : -1;
    const std::string two = name.substr(dot + 2);
    if (two == "ip" || two == "IP" || two == "Ip" || two == "iP") return 99;
    return ParseDigits(name, dot + 2, 2);
}

// On removable media: the first name of the folder (in sorted order) that matches base + "???.zip", or
// with compatible naming base + ".z??", and carries a positive number.
std::string SearchVolume(const std::string& base, bool compat) {
    const std::string folder = platform::ExtractFilePath(base);
    const std::string mask = base.substr(folder.size()) + (compat ? ".z??" : "???.zip");
    std::vector<std::string> names;
    for (const auto& item : platform::ListDirectory(folder.empty() ? "." : folder).Items)
        if (item.Kind == platform::TDirItemKind::dkFile && MatchMask(item.Name, mask)) names.push_back(item.Name);
    std::sort(names.begin(), names.end());
    for (const auto& name : names)
        if (VolumeNumberOf(name, compat) > 0) return folder + name;
    return {};
}

}  // namespace

bool TZipCore::ReadEndRecord(const std::string& file_name, bool strict) {
    CloseInput();
    auto stream = std::make_unique<TFileStream32>(file_name, TFileOpenMode::fmOpenRead);
    if (!stream->IsValid()) throw EZipManager(strict ? zmsg::kInputFileMissing : zmsg::kZipNotOpened);
    switch (FindZipEndRecord(*stream, end_)) {
        case TEndRecordSearch::Found:
            first_volume_ = end_.FirstVolume;
            input_ = std::move(stream);
            return true;
        case TEndRecordSearch::SeekFailed:
            if (Verbose) Diagnostic("Opening EOC seek/size error " + std::to_string(end_.FileSize >> 20) + "Mb");
            if (strict) throw EZipManager(zmsg::kNotValidZip);
            return false;
        case TEndRecordSearch::ScanSeekFailed: throw EZipManager(zmsg::kSeekErrorInput);
        case TEndRecordSearch::ScanReadFailed: throw EZipManager(zmsg::kEndRecordReadError);
        case TEndRecordSearch::NotFound: break;
    }
    first_volume_ = end_.FirstVolume;
    if (strict) RaiseMissingEndRecord(file_name);
    return false;
}

void TZipCore::RaiseMissingEndRecord(const std::string& file_name) {
    // Which volume of a backup set this is: from the disk label, else from the name.
    int volume = 0;
    const std::string ext = platform::ExtractFileExt(file_name);
    if (volume_label_.rfind("PKBACK# ", 0) == 0) {
        volume = std::max(ParseDigits(volume_label_, 8, 3), 0);
    } else if (ext.size() >= 2 && (ext[1] == 'Z' || ext[1] == 'z')) {
        volume = std::max(ParseDigits(ext, 2, 2), 0);
    } else {
        const std::size_t stem_end = file_name.size() - ext.size();
        volume = stem_end >= 3 ? std::max(ParseDigits(file_name, stem_end - 3, 3), 0) : 0;
    }
    if (first_volume_) throw EZipManager(volume == 1 ? zmsg::kFirstDiskOfSet : zmsg::kFirstFileOfSet);
    if (volume > 0) throw EZipManager(zmsg::kNthDiskOfSet, volume);
    throw EZipManager(zmsg::kNotValidZip);
}

TZipCore::TLocateResult TZipCore::LocateArchive(bool quiet) {
    drive_root_ = platform::ExtractFilePath(ZipFileName);
    const platform::DriveInfo drive = QueryDrive(drive_root_.empty() ? "." : drive_root_);
    fixed_drive_ = !drive.Removable;
    volume_label_ = drive.VolumeLabel;

    real_file_name_ = ZipFileName;
    numbered_name_ = false;
    bool derived = false;
    int derived_number = 0;
    const std::string base = ChangeFileExt(ZipFileName, "");
    const auto not_found = [&]() -> TLocateResult {
        if (quiet) return TLocateResult::NotFoundQuietly;
        throw EZipManager(zmsg::kZipNotOpened);
    };

    if (!platform::FileExists(ZipFileName)) {
        derived = true;
        if (fixed_drive_) {
            for (int n = 1; n <= kMaxSpanVolumes && platform::FileExists(NumberedName(base, n)); ++n)
                derived_number = n;
            if (derived_number == 0) return not_found();
            real_file_name_ = NumberedName(base, derived_number);
            numbered_name_ = true;
            if (platform::FileExists(ChangeFileExt(real_file_name_, ".z01"))) throw EZipManager(zmsg::kZipNotOpened);
        } else {
            real_file_name_ = SearchVolume(base, false);
            numbered_name_ = !real_file_name_.empty();
            if (real_file_name_.empty()) real_file_name_ = SearchVolume(base, true);
            if (real_file_name_.empty()) return not_found();
        }
    }

    for (int request = 0;; ++request) {
        if (ReadEndRecord(real_file_name_, false)) {
            if (derived && !first_volume_ && end_.ThisDisk == 0 && derived_number > 0)
                throw EZipManager(zmsg::kZipNotOpened);
            if (fixed_drive_ && derived && static_cast<int>(end_.ThisDisk) != derived_number - 1)
                throw EZipManager(zmsg::kNotValidZip);
            return TLocateResult::Found;
        }
        if (fixed_drive_ || request >= kMaxDiskRequests)
            throw EZipManager(derived ? zmsg::kZipNotOpened : zmsg::kNotValidZip);
        current_disk_ = -1;
        try {
            AskForDisk();
        } catch (const EZipManager& error) {
            if (error.MessageId == zmsg::kUserCanceled) return TLocateResult::NotFoundQuietly;
            throw;
        }
        if (derived) {
            numbered_name_ = !SpanOptions.Has(spCompatName);
            real_file_name_ = SearchVolume(base, !numbered_name_);
            if (real_file_name_.empty()) throw EZipManager(zmsg::kZipNotOpened);
        }
    }
}

void TZipCore::AskForDisk() {
    if (fixed_drive_) return;
    Report(rkTick, 0, 0, {});
    if (Unattended) throw EZipManager(zmsg::kUnattendedSpanning);
    std::string prompt = current_disk_ < 0
                             ? ZipMessageText(zmsg::kInsertLastDisk)
                             : FormatZipMessage(ZipMessageText(zmsg::kInsertDiskOf),
                                                {std::int64_t{current_disk_ + 1}, std::int64_t{total_disks_ + 1}});
    prompt += FormatZipMessage(ZipMessageText(zmsg::kInDrive), {drive_root_});
    bool abort = false;
    if (OnGetNextDisk)
        OnGetNextDisk(Sender, current_disk_ + 1, total_disks_ + 1, drive_root_, abort);
    else
        abort = Prompter->MessageBox(std::string(), prompt, TMsgIcon::Error, TMsgButtons::OkCancel, 0) != TMsgAnswer::Ok;
    if (abort) throw EZipManager(zmsg::kUserCanceled);
}

void TZipCore::ChangeReadDisk(int disk) {
    CloseInput();
    current_disk_ = disk;
    const bool last = disk >= total_disks_;
    for (int request = 0; request <= kMaxDiskRequests; ++request) {
        AskForDisk();
        // The naming the options ask for first; a set named the other way is taken too.
        const bool compat = SpanOptions.Has(spCompatName);
        std::string name = SpanVolumeFileName(real_file_name_, disk, last, compat, numbered_name_);
        if (!platform::FileExists(name)) {
            const std::string other = SpanVolumeFileName(real_file_name_, disk, last, !compat, numbered_name_);
            if (platform::FileExists(other)) name = other;
        }
        if (Verbose) Report(rkMessage, 0, 0, FormatZipMessage(ZipMessageText(zmsg::kGetNewDiskTrace), {name}));
        auto stream = std::make_unique<TFileStream32>(name, TFileOpenMode::fmOpenRead);
        if (stream->IsValid()) {
            input_ = std::move(stream);
            return;
        }
        if (fixed_drive_) throw EZipManager(zmsg::kInputFileMissing);
    }
    throw EZipManager(zmsg::kUserCanceled);
}

}  // namespace kv
