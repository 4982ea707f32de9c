// The TAR walk: header by header while the checksums hold, with GNU long names, pax extended headers
// and ustar prefixes supplying names that do not fit the 100-byte name field.
#include "engine/readers/tar_walk.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/readers/tar_header.h"

namespace kv {
namespace {

constexpr std::int64_t kBlock = static_cast<std::int64_t>(kTarBlockSize);
// Bounds for the data of extension headers that the walk reads (names and pax records).
constexpr std::int64_t kMaxLongName = 64 * 1024;
constexpr std::int64_t kMaxPaxData = 1024 * 1024;
// Bound for the text map of a pax 1.0 sparse member.
constexpr std::int64_t kMaxSparseMapText = 16 * 1024 * 1024;
constexpr std::int64_t kNoEnd = std::numeric_limits<std::int64_t>::max();

// The data of an extension header (at most `bound` bytes of it), or nothing when it is not all in the file.
std::optional<std::string> ExtensionData(THeaderReader& reader, std::int64_t data_start, std::int64_t size,
                                         std::int64_t bound) {
    const std::int64_t wanted = std::min(size, bound);
    const std::uint8_t* p = reader.Fetch(data_start, static_cast<std::size_t>(wanted));
    if (p == nullptr) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(wanted));
}

std::string UpToZero(const std::string& text) { return text.substr(0, text.find('\0')); }

// Reads the extension blocks behind an old GNU sparse header into the member's map; gives where the
// stretches' data start. A block that is not in the file leaves the map unsound.
std::int64_t ReadOldGnuSparse(THeaderReader& reader, const TTarBlock& header, TTarMember& member,
                              std::int64_t data_start) {
    bool more = ReadOldGnuSparseHeader(header, member.SparseMap, member.SparseMapSound);
    while (more) {
        const std::uint8_t* p = reader.Fetch(data_start, kTarBlockSize);
        if (p == nullptr) {
            member.SparseMapSound = false;
            break;
        }
        TTarBlock block;
        std::memcpy(block.data(), p, block.size());
        data_start += kBlock;
        more = ReadOldGnuSparseExtension(block, member.SparseMap, member.SparseMapSound);
    }
    return data_start;
}

// The map that leads a pax 1.0 member's data: read into the member, whose stretches then start behind it.
void ReadSparseMapInData(THeaderReader& reader, TTarMember& member) {
    const std::int64_t available = std::min({member.Size, kMaxSparseMapText, reader.Limit() - member.DataAt});
    std::optional<std::size_t> length;
    // Most maps fit in the first block; longer ones are read in growing steps.
    for (std::int64_t step = kBlock; !length && step / 2 < available; step *= 2) {
        const auto wanted = static_cast<std::size_t>(std::min(step, available));
        const std::uint8_t* p = reader.Fetch(member.DataAt, wanted);
        if (p == nullptr) break;
        member.SparseMap.clear();
        length = ParseSparseMapText({reinterpret_cast<const char*>(p), wanted}, member.SparseMap);
    }
    const std::int64_t padded = length ? (static_cast<std::int64_t>(*length) + kBlock - 1) / kBlock * kBlock : 0;
    if (!length || padded > member.Size) {
        member.SparseMapSound = false;
        return;
    }
    member.SparseDataAt += padded;
    member.SparseDataSize -= padded;
}

// Makes the member sparse as its old GNU header (`gnu_header`, or null, with the stretches' data at
// `data_at`) or pax records say, and checks that its map fits.
void ApplySparseMap(THeaderReader& reader, const TTarBlock* gnu_header, std::int64_t data_at, const TPaxOverrides& pax,
                    TTarMember& member) {
    member.Sparse = true;
    member.SparseDataAt = data_at;
    member.SparseDataSize = member.Size;
    // The pax record wins over the old header's field.
    const std::optional<std::int64_t> real_size = pax.SparseRealSize ? pax.SparseRealSize
                                                  : gnu_header != nullptr ? OldGnuSparseRealSize(*gnu_header)
                                                                          : std::nullopt;
    if (pax.SparseBroken || !real_size) member.SparseMapSound = false;
    if (gnu_header == nullptr && member.SparseMapSound) {
        if (pax.SparseMapInData) ReadSparseMapInData(reader, member);
        else if (!PairSparseNumbers(pax.SparseNumbers, member.SparseMap)) member.SparseMapSound = false;
    }
    member.RealSize = real_size ? *real_size : member.Size;
    member.SparseMapSound =
        member.SparseMapSound && SparseMapFits(member.SparseMap, member.RealSize, member.SparseDataSize);
}

}  // namespace

void WalkTar(THeaderReader& reader, std::int64_t start, const std::function<bool(const TTarMember&)>& visit) {
    const std::int64_t limit = reader.Limit();
    std::optional<std::string> long_name;  // GNU "L": the next member's name
    std::optional<std::string> long_link;  // GNU "K": the next member's link target
    TPaxOverrides next;                    // pax "x": the next member's records
    TPaxOverrides global;                  // pax "g": every following member's records
    std::int64_t member_start = start;
    std::int64_t position = start;
    while (true) {
        const std::uint8_t* p = reader.Fetch(position, kTarBlockSize);
        if (p == nullptr) return;
        TTarBlock block;
        std::memcpy(block.data(), p, block.size());
        const auto header = ParseTarHeader(block);
        if (!header) return;

        std::int64_t data_start = position + kBlock;
        std::int64_t size = header->Size;
        bool member = false;
        switch (header->TypeFlag) {
            case 'L':
            case 'K': {
                auto text = ExtensionData(reader, data_start, size, kMaxLongName);
                if (!text) return;
                (header->TypeFlag == 'L' ? long_name : long_link) = UpToZero(*text);
                break;
            }
            case 'x':
            case 'g': {
                if (size > kMaxPaxData) break;  // no path is that long: skip it as data
                const auto data = ExtensionData(reader, data_start, size, kMaxPaxData);
                if (!data) return;
                ParsePaxRecords(*data, header->TypeFlag == 'x' ? next : global);
                break;
            }
            default: {
                member = true;
                size = next.Size ? *next.Size : global.Size ? *global.Size : size;
                TTarMember found;
                found.StartAt = member_start;
                found.HeaderAt = position;
                found.DataAt = data_start;
                found.Size = found.RealSize = size;
                const bool old_gnu_sparse = header->TypeFlag == 'S';
                // The old GNU extension blocks lie between the header and the data.
                if (old_gnu_sparse) data_start = ReadOldGnuSparse(reader, block, found, data_start);
                // A size near the largest number would overflow; such a member runs past any file anyway.
                found.EndAt = size <= kNoEnd - data_start - kBlock ? data_start + (size + kBlock - 1) / kBlock * kBlock
                                                                   : kNoEnd;
                if (old_gnu_sparse || next.Sparse())
                    ApplySparseMap(reader, old_gnu_sparse ? &block : nullptr, data_start, next, found);
                const std::string* pax_path = next.SparseName  ? &*next.SparseName
                                              : next.Path      ? &*next.Path
                                              : global.Path    ? &*global.Path
                                                               : nullptr;
                found.Name = pax_path != nullptr ? *pax_path : long_name ? *long_name : header->Name;
                const bool binary_names = next.BinaryNames || global.BinaryNames;
                found.NameFromPax = pax_path != nullptr && !binary_names;
                const std::string* pax_link = next.LinkPath ? &*next.LinkPath : global.LinkPath ? &*global.LinkPath : nullptr;
                found.LinkName = pax_link != nullptr ? *pax_link : long_link ? *long_link : header->LinkName;
                found.LinkFromPax = pax_link != nullptr && !binary_names;
                const TPaxOverrides* pax_time = next.ModificationTime ? &next : global.ModificationTime ? &global : nullptr;
                found.ModificationTime = pax_time != nullptr ? pax_time->ModificationTime : header->ModificationTime;
                found.ModificationNanoseconds = pax_time != nullptr ? pax_time->ModificationNanoseconds : 0;
                found.Mode = header->Mode;
                found.Checksum = header->Checksum;
                found.TypeFlag = header->TypeFlag;
                if (!visit(found)) return;
                long_name.reset();
                long_link.reset();
                next = {};
                break;
            }
        }
        // Past the data, rounded up to whole blocks; a size beyond the file ends the walk.
        if (size > limit - data_start) return;
        position = data_start + (size + kBlock - 1) / kBlock * kBlock;
        if (member) member_start = position;
    }
}

}  // namespace kv
