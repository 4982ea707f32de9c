// The ZIP end-record search: finds the end of central directory record near the end of the file, checks
// the central directory and first local header it points to, and records what it verified.
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "engine/core/arc_detect.h"
#include "engine/core/arc_detector.h"
#include "engine/core/error_codes.h"
#include "engine/core/header_reader.h"
#include "engine/core/zip_central_cursor.h"
#include "engine/core/zip_cipher.h"
#include "engine/core/zip_end_records.h"

namespace kv {
namespace {

constexpr int kForwardWindows = 4;

struct EndRecordKind {
    std::uint8_t Second;
    std::size_t Size;
    bool Enciphered;
};
constexpr EndRecordKind kEndRecordKinds[] = {
    {'K', static_cast<std::size_t>(kZipEndRecordSize), false},
    {'L', static_cast<std::size_t>(kZipEndRecordSize), true},
    {'[', static_cast<std::size_t>(kZipWideEndRecordSize), false},
    {'\\', static_cast<std::size_t>(kZipWideEndRecordSize), true},
};

const EndRecordKind* MatchEndRecord(const std::uint8_t* p) {
    if (p[0] != 'P' || p[2] != 0x05 || p[3] != 0x06) return nullptr;
    for (const EndRecordKind& kind : kEndRecordKinds) {
        if (p[1] == kind.Second) return &kind;
    }
    return nullptr;
}

// A file offset from an unsigned stored value; -1 when it cannot be one.
std::int64_t AsOffset(std::uint64_t value) {
    return value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? -1
               : static_cast<std::int64_t>(value);
}
std::int64_t Difference(std::int64_t a, std::uint64_t b) {
    const std::int64_t sb = AsOffset(b);
    return a < 0 || sb < 0 || sb > a ? -1 : a - sb;
}

class TCentralDirSearch {
public:
    TCentralDirSearch(TStream32& stream, TArcDetection& state, const TDetectionContext& context)
        : stream_(stream), state_(state), context_(context) {}

    std::int64_t Run(std::int64_t end_pos, std::int64_t start_pos);

private:
    bool ReadExact(std::int64_t offset, void* buffer, std::size_t count) {
        return offset >= 0 &&
               stream_.ReadAt(offset, buffer, static_cast<std::int64_t>(count)) == static_cast<std::int64_t>(count);
    }
    void ReadZip64Records(std::int64_t end_position);
    bool ReadCentralHeader(std::int64_t position) {
        return ReadExact(position, state_.FirstCentralHeader.data(), kZipCentralHeaderSize) &&
               IsZipRecord(state_.FirstCentralHeader.data(), 0x01, 0x02);
    }
    // The first entry's local-header offset; a ZIP64 extra field holds it when the header says 0xFFFFFFFF.
    std::optional<std::uint64_t> FirstLocalOffset(std::int64_t central_position);
    std::int64_t Inconsistent() {
        if (context_.ReportError) context_.ReportError(ecode::kBadFileHeader);
        return -1;
    }
    std::int64_t ForwardSearch(std::int64_t start_pos);

    TStream32& stream_;
    TArcDetection& state_;
    const TDetectionContext& context_;
    std::int64_t size_ = 0;
    std::int64_t window_ = 0;
    std::int64_t zip64_position_ = -1;  // where the ZIP64 end record lies
};

void TCentralDirSearch::ReadZip64Records(std::int64_t end_position) {
    const TZip64Records zip64 = FindZip64Records(stream_, end_position);
    if (!zip64.HasLocator) return;
    state_.Zip64Locator = zip64.Locator;
    state_.ZipLayoutFlags.Include(htLocator);
    if (zip64.RecordPosition < 0) return;
    state_.Zip64EndRecord = zip64.Record;
    zip64_position_ = zip64.RecordPosition;
    state_.ZipLayoutFlags.Include(htEnding64);
}

std::optional<std::uint64_t> TCentralDirSearch::FirstLocalOffset(std::int64_t central_position) {
    const std::uint32_t offset = LoadLE32(state_.FirstCentralHeader.data() + 42);
    if (offset != kZipSaturated32) return offset;
    // Reads no more than the header needs: detection looks at many files that are no ZIP.
    THeaderReader reader(stream_, size_, kZipCentralHeaderSize);
    TZipCentralCursor cursor(reader, central_position, {false, {}, {}});
    const TZipCentralRecord* first = cursor.Next();
    if (first == nullptr) return std::nullopt;
    return first->Header.LocalOffset;
}

std::int64_t TCentralDirSearch::ForwardSearch(std::int64_t start_pos) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(window_) + 3);  // 3 more: signatures across windows
    for (int index = 0; index < kForwardWindows; ++index) {
        const std::int64_t window_start = start_pos + index * window_;
        const std::int64_t got = stream_.ReadAt(window_start, buffer.data(), static_cast<std::int64_t>(buffer.size()));
        for (std::int64_t at = 0; at < std::min(got, window_) && at + 3 < got; ++at) {
            if (IsZipRecord(&buffer[static_cast<std::size_t>(at)], 0x03, 0x04)) {
                state_.ZipLayoutFlags = THeaderTypeState(1u << htLocal);
                return window_start + at;
            }
        }
        if (got < window_) break;
    }
    return -1;
}

std::int64_t TCentralDirSearch::Run(std::int64_t end_pos, std::int64_t start_pos) {
    size_ = stream_.Size();
    if (size_ <= 0 || size_ <= start_pos || start_pos >= end_pos) return 0;
    end_pos = std::min(end_pos, size_);
    window_ = size_ > kDetectBlockSize ? kDetectBlockSize : end_pos - 1;
    state_.ZipLayoutFlags = {};

    const std::int64_t window_start = std::max<std::int64_t>(end_pos - window_, 0);
    std::vector<std::uint8_t> window(static_cast<std::size_t>(end_pos - window_start));
    const auto got =
        static_cast<std::size_t>(stream_.ReadAt(window_start, window.data(), static_cast<std::int64_t>(window.size())));

    // The last end record in the file counts; one that does not fit in what was read cannot be used.
    const EndRecordKind* kind = nullptr;
    std::size_t at = got < 4 ? 0 : got - 4 + 1;
    while (at-- > 0) {
        kind = MatchEndRecord(&window[at]);
        if (kind != nullptr && at + kind->Size <= got) break;
        kind = nullptr;
    }
    if (kind == nullptr) return 0;

    const std::int64_t end_position = window_start + static_cast<std::int64_t>(at);
    state_.ZipLayoutFlags = THeaderTypeState(1u << htEnding);
    state_.EndRecord.assign(window.begin() + static_cast<std::ptrdiff_t>(at),
                            window.begin() + static_cast<std::ptrdiff_t>(at + kind->Size));
    std::uint8_t* record = state_.EndRecord.data();
    const bool wide = kind->Size == static_cast<std::size_t>(kZipWideEndRecordSize);
    if (kind->Enciphered) DecipherHeader(record, wide ? TCipheredRecord::crWideEnd : TCipheredRecord::crEnd);
    ReadZip64Records(end_position);
    const bool zip64 = state_.ZipLayoutFlags.Has(htEnding64);

    // Where the directory should start by the stored values, and where it physically ends.
    const TZipEndValues values = ZipEndValuesOf(state_);
    const std::uint64_t directory_size = values.CentralSize;
    const std::uint64_t stored_offset = values.CentralOffset;
    const std::int64_t directory_end = zip64                                  ? zip64_position_
                                       : state_.ZipLayoutFlags.Has(htLocator) ? end_position - kZip64LocatorSize
                                                                              : end_position;
    const std::int64_t physical_position = Difference(directory_end, directory_size);
    std::int64_t central_position = wide    ? AsOffset(stored_offset)
                                    : zip64 ? Difference(AsOffset(LoadLE64(&state_.Zip64Locator[8])), directory_size)
                                            : physical_position;

    if (context_.CommentSink != nullptr) {
        const std::size_t comment_at = at + kind->Size;
        context_.CommentSink->ReceiveComment(LoadLE32(record), central_position, end_position,
                                             window.data() + comment_at, got - comment_at);
    }

    // Fall back to the physical position when the stored one misses; the distance between the two is
    // what a prepended stub added to every stored offset.
    bool found = ReadCentralHeader(central_position);
    if (!found && central_position != physical_position) {
        central_position = physical_position;
        found = ReadCentralHeader(central_position);
    }
    if (!found) {
        state_.ZipPrefixSize = 0;
        return ForwardSearch(start_pos);
    }
    const std::int64_t prefix = Difference(central_position, stored_offset);
    state_.ZipPrefixSize =
        prefix > 0 && prefix <= std::numeric_limits<std::uint32_t>::max() ? static_cast<std::uint32_t>(prefix) : 0;

    state_.ZipLayoutFlags.Include(htCentral);
    if (IsEncipheredZipRecord(state_.FirstCentralHeader.data()))
        DecipherHeader(state_.FirstCentralHeader.data(), TCipheredRecord::crCentral);
    const auto local_offset = FirstLocalOffset(central_position);
    if (!local_offset || *local_offset >= static_cast<std::uint64_t>(size_) ||
        *local_offset + state_.ZipPrefixSize >= static_cast<std::uint64_t>(size_)) {
        return Inconsistent();
    }
    const auto local_position = static_cast<std::int64_t>(*local_offset + state_.ZipPrefixSize);
    if (ReadExact(local_position, state_.FirstLocalHeader.data(), kZipLocalHeaderSize) &&
        IsZipRecord(state_.FirstLocalHeader.data(), 0x03, 0x04)) {
        state_.ZipLayoutFlags.Include(htLocal);
    }
    return central_position;
}

}  // namespace

std::int64_t FindCentralDir(TStream32& stream, std::int64_t end_pos, std::int64_t start_pos, TArcDetection& state,
                            const TDetectionContext& context) {
    // The search settles every flag but the one that says the file is an executable.
    const bool executable = state.ZipLayoutFlags.Has(htSfx);
    const std::int64_t result = TCentralDirSearch(stream, state, context).Run(end_pos, start_pos);
    if (executable) state.ZipLayoutFlags.Include(htSfx);
    return result;
}

}  // namespace kv
