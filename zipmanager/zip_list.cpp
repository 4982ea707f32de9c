// Reading the central directory into DirEntries.
#include <algorithm>
#include <new>

#include "engine/core/header_reader.h"
#include "engine/core/zip_central_cursor.h"
#include "platform/byte_order.h"
#include "platform/file_attributes_linux.h"
#include "platform/paths.h"
#include "zipmanager/span_names.h"
#include "zipmanager/zip_core.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;

constexpr int kLoadingDirectoryStep = 9;

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

int TZipCore::List() {
    dir_entries_.clear();
    dir_entries_.shrink_to_fit();
    archive_comment_.clear();
    raw_comment_.clear();
    archive_start_ = 0;
    spanned_ = false;
    offset_mismatch_ = false;
    dropped_dirs_ = 0;
    ClearError();
    if (!active_) {
        list_pending_ = true;
        return ErrCode();
    }

    bool listed = false;
    bool located = false;
    try {
        if (!ZipFileName.empty()) located = LocateArchive(true) == TLocateResult::Found;
        if (located) {
            BeginBusy();
            try {
                ReadCentralDirectory();
                listed = true;
            } catch (...) {
                Report(rkEndOfBatch, 0, 0, {});
                EndBusy();
                throw;
            }
            Report(rkEndOfBatch, 0, 0, {});
            EndBusy();
        }
    } catch (const EZipManager& error) {
        ShowException(error);
    } catch (const std::bad_alloc&) {
        ShowMessage(zmsg::kOutOfMemory);
    } catch (const std::exception& error) {
        ShowMessage(zmsg::kUnknownListError, error.what());
    }
    CloseInput();

    if (listed) {
        // Stored offsets larger than the layout allows (a damaged end record) would put the first local
        // header before the file; the ZIP data cannot start before the file does.
        archive_start_ = std::max<std::int64_t>(
            archive_start_ + central_offset_ - static_cast<std::int64_t>(end_.CentralOffset), 0);
        archive_comment_ = StoredToText(raw_comment_, comment_host_, false);
    } else if (located || ErrCode() != 0) {
        ZipFileName.clear();
        archive_start_ = 0;
        dir_entries_.clear();
        dir_entries_.shrink_to_fit();
    }
    if (OnDirUpdate) OnDirUpdate(Sender);
    return ErrCode();
}

void TZipCore::ReadCentralDirectory() {
    // The directory cannot start after the last disk, and no set has more volumes than names for them.
    if (end_.ThisDisk > static_cast<std::uint32_t>(kMaxSpanVolumes) || end_.CentralDisk > end_.ThisDisk)
        throw EZipManager(zmsg::kNotValidZip);
    total_disks_ = static_cast<int>(end_.ThisDisk);
    current_disk_ = total_disks_;
    spanned_ = total_disks_ != 0;
    raw_comment_ = end_.Comment;
    comment_host_ = 0;
    if (end_.TrailingBytes > 0 && !end_.TrailingIsPadding) ShowMessage(zmsg::kGarbageAtEnd);

    std::int64_t offset = static_cast<std::int64_t>(end_.CentralOffset);
    if (end_.CentralDisk != end_.ThisDisk) {
        ChangeReadDisk(static_cast<int>(end_.CentralDisk));
    } else {
        offset = end_.ComputedCentralOffset();
        if (offset != static_cast<std::int64_t>(end_.CentralOffset)) {
            offset_mismatch_ = true;
            ShowMessage(zmsg::kZipStructureWarning);
        }
    }
    central_offset_ = offset;
    archive_start_ = static_cast<std::int64_t>(end_.CentralOffset);
    if (offset < 0 || offset > input_->Size()) throw EZipManager(zmsg::kSeekErrorReadingZip);

    const std::uint64_t total = end_.TotalEntries;
    Report(rkNewStep, kLoadingDirectoryStep, static_cast<std::int64_t>(total), {});
    if (Verbose) Diagnostic(FormatZipMessage("List - expecting %d files", {static_cast<std::int64_t>(total)}));
    // The count comes from the file: reserve no more than the directory can hold.
    dir_entries_.reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(total, end_.CentralSize / kZipCentralHeaderSize + 1)));

    THeaderReader reader(*input_, input_->Size());
    TZipCentralCursor cursor(reader, offset, {true, ChosenCodePage(), OemCodePage});
    const auto directory_end = static_cast<std::uint64_t>(offset) + end_.CentralSize;
    std::uint64_t index = 0;
    for (;; ++index) {
        if (spanned_ && index >= total) break;
        const std::int64_t pos = cursor.Position();
        const TZipCentralRecord* record = cursor.Next();
        // In one file the directory is read to its end whatever the end record counts: a count too large (or
        // too small, as for 65 535 entries and more without ZIP64 records) loses no entry and makes up none.
        // A spanned set's count tells when to stop looking on the next disk.
        const bool at_end = cursor.Stop() == TZipCursorStop::csNoHeader || cursor.Stop() == TZipCursorStop::csOtherRecord;
        if (record == nullptr && !spanned_ && at_end && static_cast<std::uint64_t>(pos) >= directory_end) break;
        if (record == nullptr && cursor.Stop() == TZipCursorStop::csNoHeader) {
            if (current_disk_ >= total_disks_) throw EZipManager(zmsg::kCentralHeaderReadError);
            ChangeReadDisk(current_disk_ + 1);
            reader.Reset(*input_, input_->Size());
            cursor.MoveTo(0);
            record = cursor.Next();
            if (record == nullptr && cursor.Stop() == TZipCursorStop::csNoHeader)
                throw EZipManager(zmsg::kCentralHeaderReadError);
        }
        if (record == nullptr) {
            switch (cursor.Stop()) {
                case TZipCursorStop::csNamePastEnd: throw EZipManager(zmsg::kCentralNameReadError);
                case TZipCursorStop::csExtraPastEnd: throw EZipManager(zmsg::kSeekErrorReadingZip);
                case TZipCursorStop::csCommentPastEnd: throw EZipManager(zmsg::kFileCommentReadError);
                default: throw EZipManager(zmsg::kCentralSignatureWrong);
            }
        }
        // "PL" headers are enciphered with the header keys; the second kind of signature is no directory's.
        if (record->Kind == 'M' || record->Kind == 'N') throw EZipManager(zmsg::kCentralSignatureWrong);
        const std::uint8_t* p = record->Fixed.data();
        const TZipEntryHeader& header = record->Header;

        ZipDirEntry entry;
        entry.VersionMadeBy = p[4];
        entry.HostSystem = p[5];
        entry.VersionNeeded = LoadLE16(p + 6);
        entry.Flags = LoadLE16(p + 8);
        entry.Method = LoadLE16(p + 10);
        entry.DosDateTime = LoadLE32(p + 12);
        entry.Crc32 = LoadLE32(p + 16);
        entry.PackedSize = LoadLE32(p + 20);
        entry.UnpackedSize = LoadLE32(p + 24);
        entry.NameLength = LoadLE16(p + 28);
        entry.ExtraLength = LoadLE16(p + 30);
        entry.CommentLength = LoadLE16(p + 32);
        entry.DiskStart = LoadLE16(p + 34);
        entry.InternalAttributes = LoadLE16(p + 36);
        entry.ExternalAttributes = LoadLE32(p + 38);
        entry.LocalHeaderOffset = LoadLE32(p + 42);
        entry.IsEncrypted = (entry.Flags & kZipFlagEnciphered) != 0;
        if (entry.HostSystem != 0) comment_host_ = entry.HostSystem;
        // A field running past the extra data leaves the header's own values in place.
        entry.PackedSize64 = header.PackedSize;
        entry.UnpackedSize64 = header.UnpackedSize;
        entry.LocalHeaderOffset64 = header.LocalOffset;

        const bool utf8 = (entry.Flags & kZipFlagUtf8) != 0;
        if (Verbose) Diagnostic(FormatZipMessage("List - [%d] ", {static_cast<std::int64_t>(index)}) + Quoted(record->Name));
        const std::string comment = header.UnicodeComment ? *header.UnicodeComment
                                                          : StoredToText(record->Comment, entry.HostSystem, utf8);
        entry.SetTexts(record->Name, record->Extra, comment);
        AddEntry(std::move(entry), static_cast<int>(index + 1));

        if (header.LocalOffset < static_cast<std::uint64_t>(archive_start_))
            archive_start_ = static_cast<std::int64_t>(header.LocalOffset);
        Report(rkStepProgress, 0, 1, {});
        if (Cancel()) throw EZipManager(zmsg::kUserCanceled);
    }
    if (index != total) ShowMessage(zmsg::kZipStructureWarning);
    total_disks_ = static_cast<int>(end_.ThisDisk);
}

void TZipCore::AddEntry(ZipDirEntry&& entry, int seq_no) {
    const std::string_view name = entry.Name();
    const bool has_file_part = !name.empty() && name.back() != platform::kPathDelim;
    // Some MS-DOS writers leave the delimiter off a folder's name; the folder attribute still marks it.
    const bool directory = !has_file_part || (entry.ExternalAttributes & platform::kFaDirectory) != 0;
    if (!UseDirOnlyEntries && directory) {
        ++dropped_dirs_;
        if (Verbose) Diagnostic("List - dropped dir [" + std::to_string(dropped_dirs_) + "]");
        return;
    }
    if (Verbose) Diagnostic("List - adding " + Quoted(name) + " [" + std::string(entry.Comment()) + "]");
    dir_entries_.push_back(std::move(entry));
    if (OnNewName) OnNewName(Sender, seq_no, dir_entries_.back());
}

}  // namespace kv
