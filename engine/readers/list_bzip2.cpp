// The BZIP2 walk: one entry described by the archive file; the stream keeps no name, date or size.
#include <array>

#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"
#include "engine/readers/single_file_entry.h"

namespace kv {
namespace {

constexpr std::int64_t kHeaderSize = 10;  // "BZh", the block size and the first block's magic
constexpr std::int64_t kEntryOffset = 11;
constexpr std::uint8_t kBzipMethod = 1;

}  // namespace

void ListBzip2(TArcLister& lister) {
    std::array<std::uint8_t, kHeaderSize> header{};
    if (!lister.ReadExact(0, header.data(), kHeaderSize)) return;
    TEntryRecord record = ArchiveFileRecord(lister);
    record.PackedSize = record.UnpackedSize = lister.ArchiveSize() - kHeaderSize;
    record.CompressMethod = kBzipMethod;
    record.CompressMethodName = GetCompressMethodName(atBz2, kBzipMethod, 0, record.ExternalAttr);
    lister.OfferEntry(std::move(record), kEntryOffset, TListedKind::lkFile);
}

}  // namespace kv
