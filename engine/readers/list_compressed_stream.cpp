// The XZ and Zstandard walk: one entry described by the archive file. Neither format keeps a name or a
// date; the decoded size and CRC-32 are known by decoding the file when the lister asks for decoded
// sizes, else from an XZ file's index, else the entry shows the packed size.
#include <lzma.h>

#include <algorithm>
#include <optional>
#include <vector>


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

// Stream padding behind the last stream is looked for this far back; more would be no file xz wrote.
constexpr std::int64_t kPaddingLookBack = 64 * 1024;
// Far beyond the index of any real file (each block takes a few bytes).
constexpr std::int64_t kMaxIndexSize = 16 * 1024 * 1024;
constexpr std::uint64_t kIndexMemoryLimit = std::uint64_t{64} << 20;

// Where the last XZ stream ends: before the zero bytes of stream padding.
std::int64_t StreamEnd(TArcLister& lister) {
    const std::int64_t size = lister.ArchiveSize();
    const std::int64_t span = std::min(size, kPaddingLookBack);
    std::vector<std::uint8_t> tail(static_cast<std::size_t>(span));
    if (!lister.ReadExact(size - span, tail.data(), span)) return size;
    const auto last = std::find_if(tail.rbegin(), tail.rend(), [](std::uint8_t byte) { return byte != 0; });
    const auto zeros = static_cast<std::int64_t>(last - tail.rbegin());
    // Padding comes in whole four-byte words; a footer's magic never ends in a zero.
    return zeros % 4 == 0 ? size - zeros : size;
}

// The decoded size an XZ file's index tells, when the file is one stream (the streams of a concatenated
// file each have an index of their own).
std::optional<std::int64_t> XzIndexedSize(TArcLister& lister) {
    const std::int64_t end = StreamEnd(lister);
    std::uint8_t footer[LZMA_STREAM_HEADER_SIZE];
    lzma_stream_flags flags{};
    if (end < 2 * LZMA_STREAM_HEADER_SIZE || !lister.ReadExact(end - LZMA_STREAM_HEADER_SIZE, footer, sizeof footer) ||
        lzma_stream_footer_decode(&flags, footer) != LZMA_OK)
        return std::nullopt;
    const auto index_size = static_cast<std::int64_t>(flags.backward_size);
    if (index_size > std::min(kMaxIndexSize, end - 2 * LZMA_STREAM_HEADER_SIZE)) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(index_size));
    if (!lister.ReadExact(end - LZMA_STREAM_HEADER_SIZE - index_size, bytes.data(), index_size)) return std::nullopt;
    lzma_index* index = nullptr;
    std::uint64_t memory = kIndexMemoryLimit;
    std::size_t at = 0;
    if (lzma_index_buffer_decode(&index, &memory, nullptr, bytes.data(), &at, bytes.size()) != LZMA_OK)
        return std::nullopt;
    const std::uint64_t stream_size = lzma_index_stream_size(index);
    const std::uint64_t decoded = lzma_index_uncompressed_size(index);
    lzma_index_end(index, nullptr);
    if (stream_size != static_cast<std::uint64_t>(end)) return std::nullopt;
    return static_cast<std::int64_t>(decoded);
}

}  // namespace

void ListCompressedStream(TArcLister& lister) {
    TEntryRecord record = ArchiveFileRecord(lister);
    record.PackedSize = lister.ArchiveSize();
    record.CompressMethod = lister.ArcType() == atXz ? XzMethod(lister) : 0;
    if (!lister.ListDecoded || !TakeDecodedSizeAndCrc(lister, record)) {
        const bool xz = lister.ArcType() == atXz && record.CompressMethod == kXzMethodXz;
        record.UnpackedSize = (xz ? XzIndexedSize(lister) : std::nullopt).value_or(record.PackedSize);
    }
    record.CompressMethodName = GetCompressMethodName(lister.ArcType(), record.CompressMethod, 0, record.ExternalAttr);
    lister.OfferEntry(std::move(record), 0, TListedKind::lkFile);
}

}  // namespace kv
