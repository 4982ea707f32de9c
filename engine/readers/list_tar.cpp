// The TAR walk: header by header while the checksums hold, with GNU long names, pax extended headers
// and ustar prefixes supplying names that do not fit the 100-byte name field.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "engine/core/dates.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/header_reader.h"
#include "engine/readers/list_walks.h"
#include "engine/readers/tar_header.h"
#include "platform/file_attributes_linux.h"

namespace kv {
namespace {

constexpr std::int64_t kBlock = static_cast<std::int64_t>(kTarBlockSize);
// Headers lie behind each member's data; small refills keep a walk over large members cheap.
constexpr std::size_t kTarReadChunk = 64 * 1024;
// Bounds for the data of extension headers that the walk reads (names and pax records).
constexpr std::int64_t kMaxLongName = 64 * 1024;
constexpr std::int64_t kMaxPaxData = 1024 * 1024;

class TTarWalk {
public:
    explicit TTarWalk(TArcLister& lister)
        : lister_(lister), reader_(lister.Archive(), lister.ArchiveSize(), kTarReadChunk) {}

    void Run();

private:
    // The data of an extension header, or nothing when it is not all in the file.
    std::optional<std::string> ExtensionData(std::int64_t data_start, std::int64_t size, std::int64_t bound);
    void OfferMember(const TTarHeader& header, std::int64_t header_at, std::int64_t size);

    TArcLister& lister_;
    THeaderReader reader_;
    std::optional<std::string> long_name_;  // GNU "L": the next member's name
    TPaxOverrides next_;                    // pax "x": the next member's records
    TPaxOverrides global_;                  // pax "g": every following member's records
};

std::optional<std::string> TTarWalk::ExtensionData(std::int64_t data_start, std::int64_t size, std::int64_t bound) {
    const std::int64_t wanted = std::min(size, bound);
    const std::uint8_t* p = reader_.Fetch(data_start, static_cast<std::size_t>(wanted));
    if (p == nullptr) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(wanted));
}

void TTarWalk::OfferMember(const TTarHeader& header, std::int64_t header_at, std::int64_t size) {
    const bool directory_type = header.TypeFlag == '5';
    const bool member = directory_type || header.TypeFlag == '\0' || header.TypeFlag == '0' ||
                        header.TypeFlag == '1' || header.TypeFlag == '2';
    if (!member) return;

    const std::string* pax_path = next_.Path ? &*next_.Path : global_.Path ? &*global_.Path : nullptr;
    std::string stored = pax_path != nullptr ? *pax_path : long_name_ ? *long_name_ : header.Name;
    const auto time = next_.ModificationTime ? next_.ModificationTime
                      : global_.ModificationTime ? global_.ModificationTime
                                                 : header.ModificationTime;
    TEntryRecord record;
    record.FileName = lister_.ConvertName(stored, pax_path != nullptr);
    record.FileDate = time ? UnixTimeToDateTime(*time) : kFallbackFileDate;
    record.PackedSize = size;
    record.UnpackedSize = size;
    record.FileCRC = header.Checksum;
    record.ExternalAttr = directory_type ? platform::kFaDirectory : 0;
    TMethodNameExtras extras;
    extras.FileName = record.FileName;
    record.CompressMethodName = GetCompressMethodName(atTar, 0, 0, record.ExternalAttr, extras);
    record.HeaderOffset = header_at;
    // Old archives mark directories only by the trailing "/" of the name.
    const bool directory = directory_type || (!stored.empty() && stored.back() == '/');
    lister_.OfferEntry(std::move(record), header_at,
                       directory ? TListedKind::lkCountedDirectory : TListedKind::lkFile);
}

void TTarWalk::Run() {
    std::int64_t position = std::max<std::int64_t>(lister_.Detection().ArcStartOffset, 0);
    const std::int64_t limit = reader_.Limit();
    while (!lister_.GetCancel()) {
        const std::uint8_t* p = reader_.Fetch(position, kTarBlockSize);
        if (p == nullptr) break;
        TTarBlock block;
        std::memcpy(block.data(), p, block.size());
        const auto header = ParseTarHeader(block);
        if (!header) break;

        const std::int64_t data_start = position + kBlock;
        std::int64_t size = header->Size;
        switch (header->TypeFlag) {
            case 'L': {
                auto name = ExtensionData(data_start, size, kMaxLongName);
                if (!name) return;
                long_name_ = name->substr(0, name->find('\0'));
                break;
            }
            case 'K':  // a GNU long link target: links are listed under their own names
                break;
            case 'x':
            case 'g': {
                if (size > kMaxPaxData) break;  // no path is that long: skip it as data
                const auto data = ExtensionData(data_start, size, kMaxPaxData);
                if (!data) return;
                ParsePaxRecords(*data, header->TypeFlag == 'x' ? next_ : global_);
                break;
            }
            default:
                size = next_.Size ? *next_.Size : global_.Size ? *global_.Size : size;
                OfferMember(*header, position, size);
                long_name_.reset();
                next_ = {};
                break;
        }
        // Past the data, rounded up to whole blocks; a size beyond the file ends the walk.
        if (size > limit - data_start) break;
        position = data_start + (size + kBlock - 1) / kBlock * kBlock;
    }
}

}  // namespace

void ListTar(TArcLister& lister) { TTarWalk(lister).Run(); }

}  // namespace kv
