#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/core/oem_names.h"
#include "engine/readers/header_reader.h"

namespace kv {

// One member of a TAR archive with its extension headers (GNU long names, pax records, ustar prefix)
// applied.
struct TTarMember {
    std::int64_t StartAt = 0;   // its first extension header, or its own header when it has none
    std::int64_t HeaderAt = 0;  // its own header block
    std::int64_t DataAt = 0;    // its data, right behind the header
    std::int64_t Size = 0;      // of its data
    std::int64_t EndAt = 0;     // past its data, padded to whole blocks (may lie beyond a truncated file)
    std::string Name;           // as stored, "/" separators
    bool NameFromPax = false;   // the name came from a pax record, which is UTF-8
    std::string LinkName;       // the target of a link
    bool LinkFromPax = false;
    std::optional<std::int64_t> ModificationTime;  // Unix seconds
    std::uint32_t Mode = 0;
    std::uint32_t Checksum = 0;  // of its own header
    char TypeFlag = 0;

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
