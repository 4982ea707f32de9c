// Rename: the archive copied into a temporary file with new entry names (and dates), then put in place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <new>
#include <vector>

#include "engine/core/header_reader.h"
#include "engine/core/oem_names.h"
#include "engine/core/text_case.h"
#include "engine/core/zip_central_cursor.h"
#include "engine/writers/existing_zip.h"
#include "engine/writers/zip_records.h"
#include "platform/byte_order.h"
#include "platform/paths.h"
#include "platform/trash.h"
#include "zipmanager/zip_core.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;
using platform::StoreLE16;
using platform::StoreLE32;

constexpr int kNoZipFile = 10102;
constexpr int kSfxCopyError = 10140;
constexpr int kSpannedRename = 10141;
constexpr int kProcessing = 10142;
constexpr int kRenamedTo = 10143;
constexpr int kInvalidDate = 10144;
constexpr int kWildcards = 10307;
constexpr int kCreateFailed = 11009;
constexpr int kLocalHeaderRead = 11012;
constexpr int kLocalSignature = 11014;
constexpr int kLocalNameRead = 11016;
constexpr int kLocalExtraRead = 11018;
constexpr int kCentralExtraRead = 11019;
constexpr int kDescriptorError = 11020;
constexpr int kZippedDataRead = 11021;
constexpr int kUnknownCopyError = 11024;
constexpr int kNoTempFile = 11027;
constexpr int kLocalHeaderWrite = 11028;
constexpr int kCentralHeaderWrite = 11029;

constexpr int kRenameWildcard = -7;
constexpr int kRenameOutOfMemory = -8;
constexpr int kRenameOther = -9;
constexpr int kRenameFileToFolder = -10;

constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::uint32_t kLocalSig = 0x04034B50;
constexpr std::uint32_t kDescriptorSig = 0x08074B50;
constexpr std::int64_t kCopyBlock = 64 * 1024;
constexpr std::uint16_t kDescriptorFlag = 0x0008;
constexpr std::uint16_t kUtf8Flag = 0x0800;

struct TRenameEntry {
    std::string Name;  // as the program shows it
    std::uint8_t Host = 0;
    std::int64_t LocalOffset = 0;  // where its local header lies in the file
    std::uint32_t Date = 0;        // 0: keep the stored one
    TZipRecordEntry Central;       // its central header as written: new name, flags, date and offset
};

bool ValidDosDateTime(std::uint32_t value) {
    const std::uint32_t date = value >> 16;
    const std::uint32_t time = value & 0xFFFF;
    const std::uint32_t day = date & 31, month = (date >> 5) & 15;
    const std::uint32_t seconds = (time & 31) * 2, minutes = (time >> 5) & 63, hours = time >> 11;
    return day >= 1 && month >= 1 && month <= 12 && seconds <= 59 && minutes <= 59 && hours <= 23;
}

// Whether an extra field block holds a ZIP64 field (id 1).
bool HasZip64Field(const std::string& extra) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(extra.data());
    for (std::size_t at = 0; at + 4 <= extra.size(); at += 4 + LoadLE16(p + at + 2))
        if (LoadLE16(p + at) == 1) return true;
    return false;
}

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }
bool HasFilePart(const std::string& name) { return !name.empty() && name.back() != platform::kPathDelim; }

// Whether `name` starts with `prefix`, letter case ignored.
bool StartsWithText(std::string_view name, std::string_view prefix) {
    return name.size() >= prefix.size() && SameText(name.substr(0, prefix.size()), prefix);
}

// The instruction applied to `name`: the whole name for a file, the leading folder for a folder (the
// name only renames what it names; a name that merely contains it stays).
bool ApplyRename(const ZipRenameRec& rename, std::string& name) {
    if (HasFilePart(rename.OldName)) {
        if (!SameText(name, rename.OldName)) return false;
        name = rename.NewName;
        return true;
    }
    if (!StartsWithText(name, rename.OldName)) return false;
    name = rename.NewName + name.substr(rename.OldName.size());
    return true;
}

void ReadExactly(TStream32& input, void* buffer, std::int64_t size, int error) {
    if (input.ReadFull(buffer, size) != size) throw EZipManager(error);
}
void WriteExactly(TStream32& output, const void* buffer, std::int64_t size, int error) {
    if (output.WriteFull(buffer, size) != size) throw EZipManager(error);
}

// A second name for `file` in its folder (a hard link, else a copy); empty when neither can be made.
std::string KeepSecondName(const std::string& file) {
    std::string pattern = platform::ExtractFilePath(file) + ".kv-keep-XXXXXX";
    const int handle = ::mkstemp(pattern.data());
    if (handle < 0) return {};
    ::close(handle);
    ::unlink(pattern.c_str());
    std::error_code error;
    if (::link(file.c_str(), pattern.c_str()) == 0 || std::filesystem::copy_file(file, pattern, error)) return pattern;
    return {};
}

}  // namespace

int TZipCore::Rename(const std::vector<ZipRenameRec>& renames, std::uint32_t date_time) {
    ClearError();
    TRunningMark running(zip_running_);
    const TBusyScope busy(*this);
    std::vector<ZipRenameRec> rules;
    for (const ZipRenameRec& given : renames) {
        ZipRenameRec rule{platform::ToNativeDelimiters(given.OldName), platform::ToNativeDelimiters(given.NewName),
                          given.NewDate};
        if (HasWildcard(rule.OldName) || HasWildcard(rule.NewName)) {
            ShowMessage(kWildcards);
            return kRenameWildcard;
        }
        if (HasFilePart(rule.OldName) && !HasFilePart(rule.NewName)) return kRenameFileToFolder;
        if (!HasFilePart(rule.OldName)) {
            rule.NewName = platform::ExtractFilePath(rule.NewName);
            rule.OldName = platform::IncludeTrailingDelimiter(rule.OldName);
        }
        rules.push_back(std::move(rule));
    }

    int result = 0;
    std::string temp;
    struct stat archive_info {};
    try {
        if (!platform::FileExists(ZipFileName) || ::stat(ZipFileName.c_str(), &archive_info) != 0)
            throw EZipManager(kNoZipFile);
        temp = MakeTempFileName();
        if (temp.empty()) throw EZipManager(kNoTempFile);
        RenameEntries(rules, date_time, temp);
    } catch (const EZipManager& error) {
        ShowException(error);
        result = kRenameWildcard;
    } catch (const std::bad_alloc&) {
        ShowMessage(zmsg::kOutOfMemory);
        result = kRenameOutOfMemory;
    } catch (const std::exception& error) {
        ShowMessage(kUnknownCopyError, error.what());
        result = kRenameOther;
    } catch (...) {
        ShowMessage(kUnknownCopyError);
        result = kRenameOther;
    }
    Report(rkEndOfBatch, 0, 0, {});
    CloseInput();
    if (result == 0) {
        try {
            PutRenamedArchive(temp);
            // The archive keeps its date (set on the file in place: a copy across file systems is new).
            const struct timespec times[2] = {archive_info.st_atim, archive_info.st_mtim};
            ::utimensat(AT_FDCWD, ZipFileName.c_str(), times, 0);
        } catch (const EZipManager& error) {
            ShowException(error);
            result = kRenameWildcard;
        }
    }
    if (result != 0 && !temp.empty()) ::unlink(temp.c_str());
    if (result == 0) List();
    return result;
}

void TZipCore::RenameEntries(const std::vector<ZipRenameRec>& rules, std::uint32_t date_time, const std::string& temp) {
    ReadEndRecord(ZipFileName, true);
    if (end_.ThisDisk != 0 || end_.CentralDisk != 0) throw EZipManager(kSpannedRename);
    TStream32& input = *input_;
    const std::int64_t central_at = end_.ComputedCentralOffset();
    if (central_at < 0) throw EZipManager(zmsg::kCentralHeaderReadError);
    // Stubs written in front of an archive without correcting its offsets move every entry.
    const std::int64_t shift = central_at - static_cast<std::int64_t>(end_.CentralOffset);

    TFileStream32 output(temp, TFileOpenMode::fmCreateNew);
    if (!output.IsValid()) throw EZipManager(kCreateFailed);

    // The directory: names, hosts, where each entry lies, and its header as it is written back.
    std::vector<TRenameEntry> entries;
    entries.reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(end_.TotalEntries, end_.CentralSize / kZipCentralHeaderSize + 1)));
    std::uint64_t total = 0;
    std::int64_t first_local = central_at;
    {
        THeaderReader reader(input, input.Size());
        TZipCentralCursor cursor(reader, central_at, {true, ChosenCodePage(), OemCodePage});
        while (const TZipCentralRecord* record = cursor.Next()) {
            // Hidden headers would have to be hidden again: such archives are not renamed.
            if (record->Kind != 'K') throw EZipManager(zmsg::kCentralSignatureWrong);
            TRenameEntry entry;
            entry.Name = record->Name;
            entry.Host = record->Fixed[5];
            entry.Central = KeptCentralRecord(*record);
            if (record->Header.LocalOffset >= static_cast<std::uint64_t>(input.Size()))
                throw EZipManager(kLocalHeaderRead);
            entry.LocalOffset = static_cast<std::int64_t>(record->Header.LocalOffset) + shift;
            if (entry.LocalOffset < 0 || entry.LocalOffset >= central_at) throw EZipManager(kLocalHeaderRead);
            entry.Date = date_time;
            first_local = std::min(first_local, entry.LocalOffset);
            total += record->Header.NameLength + record->Header.PackedSize + record->Header.ExtraLength;
            entries.push_back(std::move(entry));
        }
        switch (cursor.Stop()) {
            case TZipCursorStop::csOtherRecord:
                if (static_cast<std::uint64_t>(cursor.Position() - central_at) < end_.CentralSize)
                    throw EZipManager(zmsg::kCentralSignatureWrong);
                break;
            case TZipCursorStop::csNamePastEnd: throw EZipManager(zmsg::kCentralNameReadError);
            case TZipCursorStop::csExtraPastEnd: throw EZipManager(kCentralExtraRead);
            case TZipCursorStop::csCommentPastEnd: throw EZipManager(zmsg::kFileCommentReadError);
            default: throw EZipManager(zmsg::kCentralHeaderReadError);
        }
    }
    Report(rkFileCount, 0, static_cast<std::int64_t>(entries.size()), {});
    Report(rkByteTotal, 0, static_cast<std::int64_t>(std::min<std::uint64_t>(total, INT64_MAX)), {});

    std::vector<char> block(kCopyBlock);
    // Copies `size` bytes in blocks, each reported as progress; a cancel stops between blocks.
    const auto copy = [&](std::uint64_t size, int read_error, int write_error, bool report) {
        while (size > 0) {
            const auto part = static_cast<std::int64_t>(std::min<std::uint64_t>(size, kCopyBlock));
            ReadExactly(input, block.data(), part, read_error);
            WriteExactly(output, block.data(), part, write_error);
            size -= static_cast<std::uint64_t>(part);
            if (report) {
                Report(rkBytesDone, 0, part, {});
                if (Cancel()) throw EZipManager(zmsg::kUserCanceled);
            }
        }
    };

    // The self-extractor stub, if any, unchanged.
    if (input.Seek(0, TSeekOrigin::soBeginning) != 0) throw EZipManager(kSfxCopyError);
    copy(static_cast<std::uint64_t>(first_local), kSfxCopyError, kSfxCopyError, false);

    for (TRenameEntry& entry : entries) {
        TZipRecordEntry& central = entry.Central;
        if (input.Seek(entry.LocalOffset, TSeekOrigin::soBeginning) != entry.LocalOffset)
            throw EZipManager(kLocalHeaderRead);
        std::array<std::uint8_t, kLocalHeaderSize> h{};
        ReadExactly(input, h.data(), kLocalHeaderSize, kLocalHeaderRead);
        if (LoadLE32(h.data()) != kLocalSig) throw EZipManager(kLocalSignature);
        const std::uint16_t name_length = LoadLE16(h.data() + 26);
        const std::uint16_t extra_length = LoadLE16(h.data() + 28);
        std::string stored(name_length, '\0');
        ReadExactly(input, stored.data(), name_length, kLocalNameRead);

        std::string message = ZipMessageText(kProcessing) + entry.Name;
        std::string name = entry.Name;
        bool renamed = false;
        for (const ZipRenameRec& rule : rules) {
            if (!ApplyRename(rule, name)) continue;
            renamed = true;
            message += ZipMessageText(kRenamedTo) + name;
            if (rule.NewDate != 0) {
                if (ValidDosDateTime(rule.NewDate))
                    entry.Date = rule.NewDate;
                else
                    ShowMessage(kInvalidDate, entry.Name);
            }
        }
        if (renamed) {
            const std::string zip_name = ConvertNameForStore(name, false, true);
            if ((central.Flags & kUtf8Flag) == 0) {
                central.StoredName = TextToStored(zip_name, entry.Host);
                // A name the entry's code page cannot hold is stored as UTF-8 and flagged so.
                if (ConvertStoredName(StoredToText(central.StoredName, entry.Host, false), false) != name)
                    central.Flags |= kUtf8Flag;
            }
            if ((central.Flags & kUtf8Flag) != 0) central.StoredName = zip_name;
            entry.Name = name;
        } else {
            central.StoredName = stored;
        }
        if (central.StoredName.size() > 0xFFFF) throw EZipManager(kLocalHeaderWrite);
        Report(rkMessage, 0, 0, message);
        if (entry.Date != 0) {
            StoreLE32(h.data() + 10, entry.Date);
            central.DosDateTime = entry.Date;
        }
        StoreLE16(h.data() + 6, static_cast<std::uint16_t>(LoadLE16(h.data() + 6) | (central.Flags & kUtf8Flag)));
        central.LocalOffset = static_cast<std::uint64_t>(output.Position());
        Report(rkNewItem, 0, static_cast<std::int64_t>(std::min<std::uint64_t>(central.PackedSize, INT64_MAX)),
               entry.Name);
        StoreLE16(h.data() + 26, static_cast<std::uint16_t>(central.StoredName.size()));
        WriteExactly(output, h.data(), kLocalHeaderSize, kLocalHeaderWrite);
        WriteExactly(output, central.StoredName.data(), static_cast<std::int64_t>(central.StoredName.size()),
                     kLocalHeaderWrite);
        std::string extra(extra_length, '\0');
        ReadExactly(input, extra.data(), extra_length, kLocalExtraRead);
        WriteExactly(output, extra.data(), extra_length, kLocalHeaderWrite);
        copy(central.PackedSize, kZippedDataRead, zmsg::kWriteErrorOutput, true);
        if ((LoadLE16(h.data() + 6) & kDescriptorFlag) != 0) {
            // The descriptor's signature is optional, and its sizes take 8 bytes each when the local header
            // has a ZIP64 field: 12, 16, 20 or 24 bytes.
            std::array<std::uint8_t, 4> sig{};
            ReadExactly(input, sig.data(), 4, kDescriptorError);
            WriteExactly(output, sig.data(), 4, kDescriptorError);
            const std::uint64_t sizes = HasZip64Field(extra) ? 16 : 8;
            copy(LoadLE32(sig.data()) == kDescriptorSig ? 4 + sizes : sizes, kDescriptorError, kDescriptorError, false);
        }
    }

    // The directory again, with the new names, dates and offsets; ZIP64 fields and end records where the
    // values need them.
    const auto new_central_at = static_cast<std::uint64_t>(output.Position());
    std::vector<std::uint8_t> records;
    for (const TRenameEntry& entry : entries) {
        records.clear();
        AppendCentralHeader(records, entry.Central);
        WriteExactly(output, records.data(), static_cast<std::int64_t>(records.size()), kCentralHeaderWrite);
    }
    const std::uint64_t central_size = static_cast<std::uint64_t>(output.Position()) - new_central_at;
    records.clear();
    AppendEndRecords(records, entries.size(), new_central_at, central_size, end_.Comment);
    WriteExactly(output, records.data(), static_cast<std::int64_t>(records.size()), zmsg::kEndRecordWriteError);
    if (!output.Flush() || !output.Close()) throw EZipManager(zmsg::kWriteErrorOutput);
}

void TZipCore::PutRenamedArchive(const std::string& temp) {
    // With undo allowed the old archive's bytes go to the trash, but only once the new one is in place:
    // a second name for them (a hard link, else a copy) keeps them while the new file moves over.
    std::string kept;
    if (HowToDelete == htdAllowUndo) kept = KeepSecondName(ZipFileName);
    const platform::TReplaceResult moved = platform::MoveFileOver(temp, ZipFileName, {}, FileOps);
    if (!moved.Ok()) {
        if (!kept.empty()) ::unlink(kept.c_str());
        throw EZipManager(moved.DiskFull() ? kCreateFailed : zmsg::kWriteErrorOutput);
    }
    if (!kept.empty() && !platform::MoveToTrash(kept, ZipFileName)) ::unlink(kept.c_str());
}

}  // namespace kv
