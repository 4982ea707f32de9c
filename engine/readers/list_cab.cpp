#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <vector>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/cab_headers.h"
#include "engine/readers/list_walks.h"
#include "platform/byte_order.h"
#include "platform/paths.h"

namespace kv {
namespace {

using platform::LoadLE16;
using platform::LoadLE32;

// Guards against sets that announce cabinets without end.
constexpr int kMaxCabinets = 1000;

// One cabinet of the set being walked: the lister's archive, then each next volume it opened.
struct TCabinetFile {
    std::string Path;
    TStream32* Stream = nullptr;
    std::int64_t Base = 0;
    std::int64_t Size = 0;
};

std::string Identity(const std::string& path) {
    std::error_code error;
    const auto canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

// Cabinets name their successors as Windows wrote them ("Split-2.CAB" for split-2.cab); on a
// case-sensitive file system the file is found by a case-blind match in the same folder.
std::string FindCabinet(const std::string& folder, const std::string& name) {
    const std::string path = folder + name;
    if (platform::FileExists(path)) return path;
    const auto same = [&](const std::string& candidate) {
        return candidate.size() == name.size() &&
               std::equal(candidate.begin(), candidate.end(), name.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
               });
    };
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
        const std::string candidate = item.path().filename().string();
        if (same(candidate) && item.is_regular_file(error)) return folder + candidate;
    }
    return path;
}

TEntryRecord CabRecord(const TArcLister& lister, const TCabHeader& header, const std::uint8_t* record,
                       std::string_view name, std::uint16_t folder_type) {
    TEntryRecord entry;
    const std::uint16_t attributes = LoadLE16(record + 14);
    entry.FileName =
        lister.ConvertName(name, (attributes & kCabNameIsUtf8) != 0 ? TNameOrigin::noUnicode : TNameOrigin::noDos);
    entry.FileDate = DosDateTimeToDateTime(SwapDosDate(LoadLE32(record + 10)));
    entry.UnpackedSize = LoadLE32(record);
    entry.PackedSize = entry.UnpackedSize;
    entry.CompressMethod = static_cast<std::uint8_t>(folder_type & 0x0F);
    entry.CompressMethodName = GetCompressMethodName(lister.ArcType(), folder_type, 0, attributes);
    entry.ExternalAttr = attributes;
    entry.VersionMadeBy = header.VersionMinor;
    entry.VersionNeeded = header.VersionMajor;
    return entry;
}

// Offers the files of one cabinet; false when the walk must end. Files continued from an earlier
// cabinet of the walk were offered there already.
bool ListCabinetFiles(TArcLister& lister, TCabinetFile& cabinet, const TCabHeader& header, bool follows_earlier) {
    const std::int64_t files_at = cabinet.Base + header.FilesOffset;
    if (files_at > cabinet.Size) return false;
    // Every record with its longest name, as far as the file holds them: one read for the whole table.
    const auto table_size = std::min<std::int64_t>(cabinet.Size - files_at,
                                                   header.FileCount * static_cast<std::int64_t>(kCabFileRecordSize + kCabMaxName));
    std::vector<std::uint8_t> table(static_cast<std::size_t>(table_size));
    if (cabinet.Stream->ReadAt(files_at, table.data(), table_size) != table_size) return false;

    std::size_t pos = 0;
    for (int index = 0; index < header.FileCount; ++index) {
        if (lister.GetCancel()) return false;
        if (table.size() - pos < kCabFileRecordSize) return false;
        const std::uint8_t* record = &table[pos];
        const auto name_begin = table.begin() + static_cast<std::ptrdiff_t>(pos + kCabFileRecordSize);
        const auto name_limit = name_begin + static_cast<std::ptrdiff_t>(std::min(kCabMaxName, table.size() - pos - kCabFileRecordSize));
        const auto name_end = std::find(name_begin, name_limit, std::uint8_t{0});
        if (name_end == name_limit) {
            lister.ReportError(ecode::kBadFileHeader);
            return false;
        }
        const std::uint16_t folder_index = LoadLE16(record + 8);
        const auto folder_type = CabFolderType(header, folder_index);
        if (!folder_type) return false;
        const std::int64_t offset = files_at + static_cast<std::int64_t>(pos);
        pos = static_cast<std::size_t>(name_end - table.begin()) + 1;

        const bool continued = folder_index == kCabFolderFromPrevious || folder_index == kCabFolderPreviousAndNext;
        if (continued && follows_earlier) continue;
        lister.OfferEntry(CabRecord(lister, header, record, std::string_view(reinterpret_cast<const char*>(&*name_begin),
                                                                              static_cast<std::size_t>(name_end - name_begin)),
                                    *folder_type),
                          offset, TListedKind::lkFile);
    }
    return true;
}

}  // namespace

void ListCab(TArcLister& lister) {
    TCabinetFile cabinet;
    cabinet.Path = lister.ArchiveFile();
    cabinet.Stream = &lister.Archive();
    cabinet.Base = lister.Detection().ArcStartOffset;
    cabinet.Size = lister.ArchiveSize();
    auto header = ReadCabHeader(*cabinet.Stream, cabinet.Base, cabinet.Size);
    if (!header) return;

    std::set<std::string> visited{Identity(cabinet.Path)};
    for (int number = 1;; ++number) {
        if (!ListCabinetFiles(lister, cabinet, *header, number > 1)) return;
        if ((header->Flags & kCabHasNext) == 0 || header->NextCabinet.empty() || number >= kMaxCabinets) return;
        // A set whose chain comes back to a cabinet already listed ends there.
        const std::string next_path = FindCabinet(platform::ExtractFilePath(cabinet.Path), header->NextCabinet);
        if (visited.count(Identity(next_path)) != 0) return;
        if (!lister.NextVolume(next_path) || !lister.ArchiveOpen()) return;
        cabinet.Path = lister.ArchiveFile();
        if (!visited.insert(Identity(cabinet.Path)).second) return;
        cabinet.Stream = &lister.Archive();
        cabinet.Base = 0;
        cabinet.Size = lister.ArchiveSize();
        header = ReadCabHeader(*cabinet.Stream, cabinet.Base, cabinet.Size);
        if (!header) {
            lister.ReportError(ecode::kBadFileHeader, cabinet.Path);
            return;
        }
    }
}

}  // namespace kv
