#include <algorithm>
#include <array>
#include <ctime>
#include <string>
#include <vector>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/core/header_reader.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"
#include "platform/byte_order.h"
#include "platform/paths.h"

namespace kv {
namespace {

using platform::LoadLE32;

constexpr std::int64_t kArchiveHeaderSize = 4;  // "HA" and the entry count
constexpr std::int64_t kFixedSize = 18;         // up to and including the first byte of the path
constexpr std::int64_t kFixedFields = 17;       // type nibbles, sizes, CRC-32, time
// Room for the path, the name, the machine-information length and its bytes.
constexpr std::int64_t kNamesBufferSize = 32768;
constexpr std::uint8_t kDirectoryMethod = 14;
constexpr char kFolderSeparator = static_cast<char>(0xFF);

// Path and name (both zero-terminated) and the machine information behind them, as stored.
struct TNames {
    std::string path;
    std::string name;
    std::int64_t size = 0;  // bytes from the path's first byte to the data
};

bool SplitNames(const std::vector<char>& bytes, TNames& names) {
    const auto path_end = std::find(bytes.begin(), bytes.end(), '\0');
    if (path_end == bytes.end()) return false;
    const auto name_end = std::find(path_end + 1, bytes.end(), '\0');
    if (name_end == bytes.end() || name_end + 1 == bytes.end()) return false;
    names.path.assign(bytes.begin(), path_end);
    names.name.assign(path_end + 1, name_end);
    const auto machine_info = static_cast<unsigned char>(*(name_end + 1));
    names.size = (name_end - bytes.begin()) + 2 + machine_info;
    return true;
}

std::string JoinPath(std::string path, const std::string& name) {
    std::replace(path.begin(), path.end(), kFolderSeparator, '/');
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
    return path + name;
}

}  // namespace

void ListHa(TArcLister& lister) {
    const TArcType type = lister.ArcType();
    const std::int64_t start = lister.Detection().ArcStartOffset;
    THeaderReader archive(lister.Archive(), lister.ArchiveSize(), THeaderReader::kSmallChunk);
    std::array<std::uint8_t, kArchiveHeaderSize> archive_header{};
    if (!archive.Read(start, archive_header.data(), kArchiveHeaderSize)) return;
    const int count = platform::LoadLE16(&archive_header[2]);
    // HA keeps no dates the lister uses: every entry shows the time of listing.
    const TDateTime listed_at = UnixTimeToDateTime(std::time(nullptr));

    std::int64_t cursor = start + kArchiveHeaderSize;
    std::array<std::uint8_t, kFixedFields> fixed{};
    std::vector<char> bytes;
    for (int index = 0; index < count && !lister.GetCancel(); ++index) {
        if (cursor + kFixedSize > lister.ArchiveSize() || !archive.Read(cursor, fixed.data(), kFixedFields)) break;
        const std::int64_t names_at = cursor + kFixedFields;
        bytes.resize(static_cast<std::size_t>(std::min(kNamesBufferSize, lister.ArchiveSize() - names_at)));
        TNames names;
        if (!archive.Read(names_at, bytes.data(), static_cast<std::int64_t>(bytes.size())) ||
            !SplitNames(bytes, names)) {
            lister.ReportError(ecode::kBadFileHeader);
            break;
        }
        const std::int64_t packed = LoadLE32(&fixed[1]);
        const std::int64_t next = names_at + names.size + packed;
        if (next > lister.ArchiveSize()) break;

        const std::uint8_t method = fixed[0] & 0x0F;
        const bool directory = method == kDirectoryMethod;
        TEntryRecord record;
        record.FileName = lister.ConvertName(JoinPath(names.path, names.name));
        while (directory && !record.FileName.empty() && record.FileName.back() == platform::kPathDelim) {
            record.FileName.pop_back();
        }
        record.FileDate = listed_at;
        record.PackedSize = packed;
        record.UnpackedSize = LoadLE32(&fixed[5]);
        record.FileCRC = LoadLE32(&fixed[9]);
        record.VersionMadeBy = record.VersionNeeded = fixed[0] >> 4;
        record.CompressMethod = method;
        record.ExternalAttr = 0x20;
        record.CompressMethodName = GetCompressMethodName(type, method, 0, record.ExternalAttr);
        record.HeaderOffset = cursor;
        lister.OfferEntry(std::move(record), cursor, directory ? TListedKind::lkDirectory : TListedKind::lkFile);
        cursor = next;
    }
}

}  // namespace kv
