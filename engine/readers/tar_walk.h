#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/header_reader.h"
#include "engine/core/oem_names.h"
#include "engine/readers/tar_sparse.h"

namespace kv {

// One member of a TAR archive with its extension headers (GNU long names, pax records, ustar prefix)
// applied.
struct TTarMember {
    std::int64_t StartAt = 0;   // its first extension header, or its own header when it has none
    std::int64_t HeaderAt = 0;  // its own header block
    std::int64_t DataAt = 0;    // its data, right behind the header
    std::int64_t Size = 0;      // of its data
    std::int64_t RealSize = 0;  // of the file it holds: Size, or a sparse member's full size
    std::int64_t EndAt = 0;     // past its data (and old GNU sparse extension blocks), padded to whole blocks
                                // (may lie beyond a truncated file)
    std::string Name;           // as stored, "/" separators
    bool NameFromPax = false;   // the name came from a pax record, which is UTF-8
    std::string LinkName;       // the target of a link
    bool LinkFromPax = false;
    std::optional<std::int64_t> ModificationTime;  // Unix seconds, negative before 1970
    std::uint32_t ModificationNanoseconds = 0;     // a pax time's fraction of a second
    std::uint32_t Mode = 0;
    std::uint32_t Checksum = 0;  // of its own header
    char TypeFlag = 0;
    // A sparse member (old GNU "S", pax 0.0, 0.1, 1.0): its stretches, whose SparseDataSize bytes of data lie
    // one after another from SparseDataAt (behind old GNU extension blocks or the pax 1.0 map).
    // SparseMapSound is false when the map cannot be read or does not fit the member.
    bool Sparse = false;
    std::vector<TSparseRegion> SparseMap;
    std::int64_t SparseDataAt = 0;
    std::int64_t SparseDataSize = 0;
    bool SparseMapSound = true;

    // pax names are UTF-8 unless the archive says they are raw bytes; other names are whatever the
    // writer's system used, mostly UTF-8 today.
    TNameOrigin NameOrigin() const { return NameFromPax ? TNameOrigin::noUnicode : TNameOrigin::noOther; }
    TNameOrigin LinkNameOrigin() const { return LinkFromPax ? TNameOrigin::noUnicode : TNameOrigin::noOther; }
};

// Walks the headers from `start` while their checksums hold and calls `visit` for every member of any
// type (extension headers themselves are consumed), until `visit` returns false. A member whose data runs
// past the end of the file is still visited, then the walk ends.
void WalkTar(THeaderReader& reader, std::int64_t start, const std::function<bool(const TTarMember&)>& visit);

}  // namespace kv
