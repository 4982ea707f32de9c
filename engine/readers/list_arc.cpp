#include <array>
#include <vector>

#include "engine/core/dates.h"
#include "engine/core/header_reader.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/header_fields.h"
#include "engine/readers/list_walks.h"
#include "platform/byte_order.h"
#include "platform/paths.h"

namespace kv {
namespace {

constexpr std::uint8_t kMarker = 0x1A;
constexpr std::uint8_t kEndOfArchive = 0;
constexpr std::uint8_t kOldStored = 1;  // the first ARC versions wrote no original size
constexpr std::uint8_t kSubdirectory = 30;
constexpr std::uint8_t kEndOfSubdirectory = 31;
constexpr std::int64_t kHeaderSize = 29;
constexpr std::int64_t kOldHeaderSize = 25;
constexpr std::int64_t kEndMarkerSize = 2;
constexpr std::size_t kNameField = 13;
// Deeper nesting than any ARC or PAK program produces means the headers are garbage.
constexpr std::size_t kMaxSubdirectoryDepth = 64;

}  // namespace

void ListArc(TArcLister& lister) {
    const TArcType type = lister.ArcType();
    std::vector<std::size_t> prefix_lengths;  // where each open subdirectory's part of the prefix starts
    std::string prefix;
    std::int64_t cursor = lister.Detection().ArcStartOffset;
    THeaderReader archive(lister.Archive(), lister.ArchiveSize(), THeaderReader::kSmallChunk);
    std::array<std::uint8_t, kHeaderSize> bytes{};
    while (!lister.GetCancel()) {
        if (cursor + kEndMarkerSize > lister.ArchiveSize() || !archive.Read(cursor, bytes.data(), kEndMarkerSize)) break;
        const std::uint8_t method = bytes[1];
        if (bytes[0] != kMarker || method == kEndOfArchive || method > kEndOfSubdirectory) break;
        if (method == kEndOfSubdirectory) {
            if (prefix_lengths.empty()) break;
            prefix.resize(prefix_lengths.back());
            prefix_lengths.pop_back();
            cursor += kEndMarkerSize;
            continue;
        }

        const std::int64_t header_size = method == kOldStored ? kOldHeaderSize : kHeaderSize;
        if (cursor + header_size > lister.ArchiveSize() || !archive.Read(cursor, bytes.data(), header_size)) break;
        const std::int64_t packed = platform::LoadLE32(&bytes[15]);
        const bool directory = method == kSubdirectory;
        // A subdirectory's entries follow its header; its size covers them.
        const std::int64_t next = cursor + header_size + (directory ? 0 : packed);
        if (cursor + header_size + packed > lister.ArchiveSize()) break;

        TEntryRecord record;
        record.FileName = prefix + lister.ConvertName(ZeroTerminatedField(&bytes[2], kNameField));
        record.FileDate = DosDateTimeToDateTime(SwapDosDate(platform::LoadLE32(&bytes[19])));
        record.FileCRC = platform::LoadLE16(&bytes[23]);
        record.PackedSize = packed;
        record.UnpackedSize = method == kOldStored ? packed : platform::LoadLE32(&bytes[25]);
        record.CompressMethod = method;
        record.ExternalAttr = directory ? 0x10 : 0x20;
        record.CompressMethodName = GetCompressMethodName(type, method, 0, record.ExternalAttr);
        record.HeaderOffset = cursor;
        if (directory) {
            if (prefix_lengths.size() == kMaxSubdirectoryDepth) break;
            prefix_lengths.push_back(prefix.size());
            prefix = record.FileName + platform::kPathDelim;
        }
        lister.OfferEntry(std::move(record), cursor, directory ? TListedKind::lkDirectory : TListedKind::lkFile);
        cursor = next;
    }
}

}  // namespace kv
