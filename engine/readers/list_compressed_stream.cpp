// The XZ and Zstandard walk: one entry described by the archive file. Neither format keeps a name or a
// date; the decoded size and CRC-32 are known by decoding the file when the lister asks for decoded
// sizes, else the entry shows the packed size.

#include "engine/core/method_names.h"
#include "engine/core/stream_signatures.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"
#include "engine/readers/single_file_entry.h"

namespace kv {
namespace {

// The method an XZ-type file uses: an XZ stream, or LZMA "alone" data without magic.
std::uint8_t XzMethod(TArcLister& lister) {
    std::uint8_t first = 0;
    lister.ReadExact(0, &first, 1);
    return first == kXzFirstByte ? kXzMethodXz : kXzMethodLzma;
}

}  // namespace

void ListCompressedStream(TArcLister& lister) {
    TEntryRecord record = ArchiveFileRecord(lister);
    record.PackedSize = lister.ArchiveSize();
    if (!lister.ListDecoded || !TakeDecodedSizeAndCrc(lister, record)) record.UnpackedSize = record.PackedSize;
    record.CompressMethod = lister.ArcType() == atXz ? XzMethod(lister) : 0;
    record.CompressMethodName = GetCompressMethodName(lister.ArcType(), record.CompressMethod, 0, record.ExternalAttr);
    lister.OfferEntry(std::move(record), 0, TListedKind::lkFile);
}

}  // namespace kv
