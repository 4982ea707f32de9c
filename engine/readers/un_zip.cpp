#include "engine/readers/un_zip.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>

#include "engine/core/error_codes.h"
#include "engine/core/header_reader.h"
#include "engine/core/oem_names.h"
#include "engine/core/zip_aes.h"
#include "engine/core/zip_cipher.h"
#include "engine/core/zip_end_records.h"
#include "engine/readers/zip_aes_entry.h"
#include "engine/readers/zip_central_position.h"
#include "engine/readers/zip_entry_spans.h"
#include "engine/readers/zip_local_entry.h"
#include "platform/file_attributes_linux.h"
#include "platform/paths.h"

namespace kv {
namespace {

constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint8_t kHostUnix = 3;
// How far around the first entry's stored offset the local header is looked for when it is not there.
constexpr std::int64_t kSearchBack = 29;
constexpr std::int64_t kSearchForward = 32768;

bool IsDirectory(const TZipEntryHeader& header, const std::string& name) {
    return (header.ExternalAttr & platform::kFaDirectory) != 0 || (!name.empty() && name.back() == platform::kPathDelim);
}

// Unix writers (zip -y) store a symbolic link as an entry of file type 0120000 holding the target.
bool IsSymbolicLink(const TZipEntryHeader& header) {
    return (header.VersionMadeBy >> 8) == kHostUnix && ((header.ExternalAttr >> 16) & 0170000) == 0120000;
}

// What the entry's cipher stores besides the compressed data.
std::int64_t CipherOverhead(const TZipEntryHeader& header) {
    if (header.IsAes()) return static_cast<std::int64_t>(AesOverhead(header.AesStrength));
    return header.EncryptionMethod() == emZip_V2 ? static_cast<std::int64_t>(kCipherHeaderSize) : 0;
}

// The fixed part of the local header at `bytes`, deciphered when it is hidden (its lengths are enciphered
// like the rest of it).
TZipEntryHeader ParseLocalFixed(const std::uint8_t* bytes) {
    std::array<std::uint8_t, kZipLocalHeaderSize> fixed{};
    std::memcpy(fixed.data(), bytes, kZipLocalHeaderSize);
    if (IsEncipheredZipRecord(fixed.data())) DecipherHeader(fixed.data(), TCipheredRecord::crLocal);
    return ParseZipLocalHeader(fixed.data());
}

// Where the data behind the local header at `local_offset` begin.
std::int64_t LocalDataAt(std::int64_t local_offset, const TZipEntryHeader& local) {
    return local_offset + static_cast<std::int64_t>(kZipLocalHeaderSize) + local.NameLength + local.ExtraLength;
}

// Where the data of the entry whose local header lies at `local_offset` ends, by the directory's packed
// size; the end of the archive at the latest.
std::int64_t EntryEnd(THeaderReader& locals, std::int64_t local_offset, const TZipEntryHeader& header) {
    const std::uint8_t* p = locals.Fetch(local_offset, kZipLocalHeaderSize);
    const std::int64_t limit = locals.Limit();
    if (p == nullptr) return limit;
    const std::int64_t data_at = LocalDataAt(local_offset, ParseLocalFixed(p));
    return header.PackedSize >= static_cast<std::uint64_t>(std::max<std::int64_t>(limit - data_at, 0))
               ? std::max(limit, data_at)
               : data_at + static_cast<std::int64_t>(header.PackedSize);
}

}  // namespace

bool TUnZip::CheckPassword(const TCipherHeader& header) {
    return CheckCipherHeader(header, check_flags_, check_crc_, Password, check_time_);
}

std::uint32_t TUnZip::OutputAttributes(const TZipEntryHeader& header, bool directory) const {
    const std::uint32_t mode = header.ExternalAttr >> 16;
    if ((header.VersionMadeBy >> 8) == kHostUnix && mode != 0) {
        // Unix writers keep the permissions in the high half: no write permission at all is read-only, and
        // the permissions themselves go on to the output.
        return (mode << 16) | (directory ? platform::kFaDirectory : platform::kFaArchive) |
               ((mode & 0222) == 0 ? platform::kFaReadOnly : 0);
    }
    return header.ExternalAttr & 0xFF;
}

std::uint32_t TUnJar::OutputAttributes(const TZipEntryHeader&, bool directory) const {
    return directory ? platform::kFaDirectory : platform::kFaArchive;
}

void TUnZip::ExtractIt(TStream32* archive, TObject*) {
    if (archive == nullptr) return;
    const std::int64_t size = archive->Size();
    THeaderReader reader(*archive, size);
    std::vector<TSelected> selected;
    local_correction_ = 0;
    selected_files_ = 0;
    std::unique_ptr<TSplitSetStream> set;
    const std::optional<std::int64_t> central = FindZipCentralPosition(Detection(), reader, size);
    if (central && ArcType() == atZipMV) {
        // The directory lies on the last volume (this file) or, when it is long, starts on an earlier one.
        const TZipEndValues end = ZipEndValuesOf(Detection());
        set = OpenSplitSet(end.ThisDisk);
        if (!set) return;
        const std::int64_t position =
            end.CentralDisk == end.ThisDisk
                ? set->DiskStart(end.ThisDisk) + *central
                : set->DiskStart(end.CentralDisk) +
                      static_cast<std::int64_t>(std::min<std::uint64_t>(end.CentralOffset, INT64_MAX / 4));
        SelectFromCentral(*set, position, set.get(), selected);
    } else if (central) {
        SelectFromCentral(*archive, *central, nullptr, selected);
    } else {
        SelectFromLocal(*archive, std::max<std::int64_t>(Detection().ArcStartOffset, 0), selected);
    }
    ArchiveTotalBytes = BytesToProcess = TotalUnpackedSize;
    EntriesSelected(selected_files_, TotalUnpackedSize);
    TExtractionPass pass(set ? static_cast<TStream32&>(*set) : *archive);
    for (const TSelected& item : selected) {
        if (GetCancel()) break;
        std::optional<TEntry> entry = ReadHeader(pass.headers, item.HeaderAt, central.has_value());
        // Without a directory, an entry written as a stream has its CRC and sizes only in its descriptor.
        if (entry && !central && !LocalEntryEnd(pass.headers, item.HeaderAt, entry->Header)) entry.reset();
        if (!entry) {
            // The header was read a moment ago: the file changed under us.
            DoError(ArchiveFile(), {}, "0", ecode::kBadFileHeader);
            break;
        }
        ExtractEntry(pass, *entry, item.LocalOffset, item.Index);
    }
}

std::unique_ptr<TSplitSetStream> TUnZip::OpenSplitSet(std::uint32_t last_disk) {
    std::vector<std::unique_ptr<TFileStream32>> volumes;
    for (std::uint32_t disk = 0; disk <= last_disk; ++disk) {
        std::string name = SpannedVolumeName(atZipMV, ArchiveFile(), disk, last_disk);
        if (disk < last_disk) {
            if (!OnNextVolume) {
                ReportMissingEvent("OnNextVolume");
                SetCancel(true);
                return nullptr;
            }
            bool cancel = false;
            OnNextVolume(this, name, static_cast<int>(disk + 1), platform::FileExists(name), cancel);
            if (cancel) {
                DoError(name, {}, name, ecode::kUserCanceled);
                return nullptr;
            }
        }
        auto volume = std::make_unique<TFileStream32>(name, TFileOpenMode::fmOpenRead);
        if (!volume->IsValid()) {
            DoError(name, {}, name, ecode::kErrorOpeningFile);
            return nullptr;
        }
        volumes.push_back(std::move(volume));
    }
    return std::make_unique<TSplitSetStream>(std::move(volumes));
}

void TUnZip::SelectFromCentral(TStream32& archive, std::int64_t position, const TSplitSetStream* set,
                               std::vector<TSelected>& selected) {
    const std::int64_t size = archive.Size();
    THeaderReader reader(archive, size);
    // Local headers are looked at through a buffer of their own: sharing one with the directory would
    // read both again for every entry.
    THeaderReader locals(archive, size);
    TZipCentralCursor cursor(reader, position, NameRule());
    TZipEntrySpans spans;
    bool first = true;
    for (int index = 0; !GetCancel(); ++index) {
        const TZipCentralRecord* central = cursor.Next();
        if (central == nullptr) break;
        const TEntry entry = EntryOf(*central);
        const std::int64_t header_at = central->Position;

        // The local header must be where the directory says, give or take a stub the offsets ignore.
        const auto stored_offset = static_cast<std::int64_t>(std::min<std::uint64_t>(entry.Header.LocalOffset, size));
        const std::int64_t stored_at = set != nullptr ? set->DiskStart(entry.Header.DiskStart) + stored_offset
                                                      : stored_offset + Detection().ZipPrefixSize;
        const auto is_local = [&](std::int64_t at) {
            const std::uint8_t* h = at >= 0 ? locals.Fetch(at, 4) : nullptr;
            return h != nullptr && IsZipRecord(h, 0x03, 0x04);
        };
        if (first && !is_local(stored_at + local_correction_)) {
            for (std::int64_t at = stored_at - kSearchBack; at <= stored_at + kSearchForward; ++at) {
                if (is_local(at)) {
                    local_correction_ = at - stored_at;
                    break;
                }
            }
        }
        first = false;
        const std::int64_t local_offset = stored_at + local_correction_;
        if (!SelectEntry(entry.Name)) continue;
        if (!is_local(local_offset)) {
            DoError(entry.Name, {}, "0", ecode::kBadOffsetToLocalHeader);
            continue;
        }
        // A spanned set read disk by disk repeats offsets from one disk to the next.
        const bool one_address_space = set != nullptr || ArcType() != atZipDS;
        if (one_address_space && !spans.Claim(local_offset, EntryEnd(locals, local_offset, entry.Header))) {
            DoError(entry.Name, {}, "0", ecode::kOverlappedEntries);
            continue;
        }
        Offer(entry, {header_at, local_offset, index}, selected);
    }
}

TZipNameRule TUnZip::NameRule() const { return {TranslateOemChar, NameCodePage, {}}; }

TUnZip::TEntry TUnZip::EntryOf(const TZipCentralRecord& central) {
    TEntry entry{central.Header, central.Name, false};
    entry.Directory = IsDirectory(entry.Header, entry.Name);
    return entry;
}

std::optional<TUnZip::TEntry> TUnZip::ReadHeader(THeaderReader& reader, std::int64_t position, bool central) {
    if (central) {
        TZipCentralCursor cursor(reader, position, NameRule());
        const TZipCentralRecord* record = cursor.Next();
        if (record == nullptr) return std::nullopt;
        return EntryOf(*record);
    }
    const std::uint8_t* p = reader.Fetch(position, kZipLocalHeaderSize);
    if (p == nullptr || !IsZipRecord(p, 0x03, 0x04)) return std::nullopt;
    std::array<std::uint8_t, kZipLocalHeaderSize> fixed{};
    std::memcpy(fixed.data(), p, fixed.size());
    const bool enciphered = IsEncipheredZipRecord(fixed.data());
    if (enciphered) DecipherHeader(fixed.data(), TCipheredRecord::crLocal);
    TEntry entry;
    entry.Header = ParseZipLocalHeader(fixed.data());
    const std::size_t name_extra = std::size_t{entry.Header.NameLength} + entry.Header.ExtraLength;
    const std::uint8_t* v = reader.Fetch(position + static_cast<std::int64_t>(kZipLocalHeaderSize), name_extra);
    if (v == nullptr) return std::nullopt;
    std::string bytes(reinterpret_cast<const char*>(v), name_extra);
    if (enciphered) DecipherHeaderContinuation(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
    const std::string stored_name = bytes.substr(0, entry.Header.NameLength);
    ReadZipExtraFields(reinterpret_cast<const std::uint8_t*>(bytes.data()) + entry.Header.NameLength,
                       entry.Header.ExtraLength, stored_name, false, entry.Header);
    entry.Name = ConvertName(ZipEntryName(entry.Header, stored_name), entry.Header.NameOrigin());
    entry.Directory = IsDirectory(entry.Header, entry.Name);
    return entry;
}

void TUnZip::SelectFromLocal(TStream32& archive, std::int64_t position, std::vector<TSelected>& selected) {
    THeaderReader reader(archive, archive.Size());
    position = ZipFirstLocalHeader(reader, position);
    for (int index = 0; !GetCancel(); ++index) {
        std::optional<TEntry> read = ReadHeader(reader, position, false);
        if (!read) break;
        const std::int64_t header_at = position;
        const auto next = LocalEntryEnd(reader, header_at, read->Header);
        if (!next || *next <= position) {
            // Its data cannot be told from what follows: neither it nor anything behind it can be read.
            if (!GetCancel()) DoError(read->Name, {}, "0", ecode::kBadFileHeader);
            break;
        }
        position = *next;
        if (SelectEntry(read->Name)) Offer(*read, {header_at, header_at, index}, selected);
    }
}

std::optional<std::int64_t> TUnZip::LocalEntryEnd(THeaderReader& reader, std::int64_t header_at, TZipEntryHeader& header) {
    return ZipLocalEntryEnd(reader, LocalDataAt(header_at, header), header, [this] { return GetCancel(); });
}

void TUnZip::Offer(const TEntry& entry, TSelected where, std::vector<TSelected>& selected) {
    const TEncryptionMethod method = entry.Header.EncryptionMethod();
    if (method == emUnsupported) {
        DoError(entry.Name, {}, "0", ecode::kUnsupportedPasswordEncryption);
        return;
    }
    if (!entry.Directory) {
        const auto packed = static_cast<std::int64_t>(std::min<std::uint64_t>(entry.Header.PackedSize, INT64_MAX / 4));
        TotalPackedSize += std::max<std::int64_t>(packed - CipherOverhead(entry.Header), 0);
        ++selected_files_;
        TotalUnpackedSize += static_cast<std::int64_t>(std::min<std::uint64_t>(entry.Header.UnpackedSize, INT64_MAX / 4));
    }
    NewestFileDate = std::max(NewestFileDate, DosDateTimeToDateTime(entry.Header.DosDateTime));
    selected.push_back(where);
}

void TUnZip::ExtractEntry(TExtractionPass& pass, const TEntry& entry, std::int64_t local_offset, int index) {
    TStream32& archive = pass.data;
    SetOutputName(entry.Name);
    EntryStarts(index, entry.Name, entry.Header, entry.Directory);
    TEntryRecord record;
    record.FileName = entry.Name;
    record.UnpackedSize = static_cast<std::int64_t>(std::min<std::uint64_t>(entry.Header.UnpackedSize, INT64_MAX / 4));
    record.PackedSize = static_cast<std::int64_t>(std::min<std::uint64_t>(entry.Header.PackedSize, INT64_MAX / 4));
    record.Flags = entry.Header.Flags;

    std::array<std::uint8_t, kZipLocalHeaderSize> fixed{};
    if (archive.ReadAt(local_offset, fixed.data(), fixed.size()) != static_cast<std::int64_t>(fixed.size()) ||
        !IsZipRecord(fixed.data(), 0x03, 0x04)) {
        DoError(entry.Name, {}, "0", ecode::kBadFileHeader);
        SkipEntry(record);
        return;
    }
    const TZipEntryHeader local = ParseLocalFixed(fixed.data());
    const std::int64_t data_at = LocalDataAt(local_offset, local);

    if (entry.Directory) {
        if (!BeginFile(true)) return;
        CreateStoredDirectory(entry.Name, OutputAttributes(entry.Header, true), local.DosDateTime,
                              entry.Header.ModTime());
        ++ProcessedCount;
        if (OnEnd) OnEnd(this, OutputMode == TOutputMode::omFiles ? CurrentOutputPath : CurrentStoredName, true);
        return;
    }
    const bool enciphered = entry.Header.Enciphered();
    const bool aes = entry.Header.IsAes();
    const bool strong = enciphered && (entry.Header.Flags & kFlagStrongEncryption) != 0;
    if (!IsKnownMethod(entry.Header.DataMethod()) || strong) {
        DoError(entry.Name, {}, "0", strong ? ecode::kUnsupportedPasswordEncryption : ecode::kUnsupportedMethod);
        SkipEntry(record);
        return;
    }
    if (!BeginFile()) {
        SkipEntry(record);
        return;
    }
    Crc32Value = 0xFFFFFFFFu;
    if (!OpenEntryOutput(record, IsSymbolicLink(entry.Header))) return;
    archive.Seek(data_at, TSeekOrigin::soBeginning);
    if (aes) {
        ExtractAesEntry(pass, entry.Header, record.PackedSize, local.DosDateTime);
        return;
    }
    std::int64_t packed = record.PackedSize;
    bool decoded = false;
    EncryptionMethod = enciphered ? emZip_V2 : emNone;
    if (enciphered) {
        check_flags_ = local.Flags;
        check_crc_ = entry.Header.Crc;
        check_time_ = local.DosDateTime;
        packed -= kCipherHeaderSize;
        if (GetPassword(archive)) decoded = true;
    } else {
        decoded = true;
    }
    const bool data_ok =
        decoded && Decode(pass, archive, entry.Header.Method, entry.Header, std::max<std::int64_t>(packed, 0), enciphered);
    FinishOutput(entry.Header, local.DosDateTime, decoded);
    // Data that failed to decode fails the entry even when what came out matches the checksum.
    if (data_ok) CheckCRC(kCrc32, entry.Header.Crc);
    else ReportCheck(false);
}

void TUnZip::ExtractAesEntry(TExtractionPass& pass, const TZipEntryHeader& header, std::int64_t packed_size,
                             std::uint32_t dos_date_time) {
    TStream32& archive = pass.data;
    EncryptionMethod = header.EncryptionMethod();
    const std::int64_t data_size = packed_size - CipherOverhead(header);
    TAesEntryHeader opening;
    std::unique_ptr<TZipAesCipher> cipher;
    const bool opened = data_size >= 0 && opening.Read(archive, header.AesStrength) &&
                        FindPassword([&] { return (cipher = opening.Open(Password)) != nullptr; });
    bool pass_check = false;
    if (opened) {
        TAesEntryStream data(archive, *cipher, data_size);
        const bool decoded = Decode(pass, data, header.DataMethod(), header, data_size, false);
        const bool authentic = data.Authentic();
        // AE-2 leaves the CRC out (0): the authentication code alone vouches for the data.
        pass_check = decoded && authentic && (EncryptionMethod >= emAes2_128 || ~Crc32Value == header.Crc);
    }
    FinishOutput(header, dos_date_time, opened);
    ReportCheck(pass_check);
}

void TUnZip::FinishOutput(const TZipEntryHeader& header, std::uint32_t dos_date_time, bool decoded) {
    CloseOutput(OutputAttributes(header, false), dos_date_time, header.ModTime());
    // No password opened the entry: its empty output must not replace anything, even should the check
    // pass by chance.
    if (!decoded) DiscardOutput();
}

}  // namespace kv
