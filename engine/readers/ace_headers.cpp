#include "engine/readers/ace_headers.h"

#include <cstring>

#include "platform/byte_order.h"

namespace kv {

using platform::LoadLE16;
using platform::LoadLE32;

std::optional<TAceMainHeader> ParseAceMainHeader(std::span<const std::uint8_t> fixed) {
    if (fixed.size() < kAceMainHeaderFixed || fixed[4] != kAceMainBlock || std::memcmp(&fixed[7], "**ACE**", 7) != 0) {
        return std::nullopt;
    }
    TAceMainHeader main;
    main.HeaderSize = LoadLE16(&fixed[2]);
    if (main.HeaderSize + kAceSizeFieldsSize < kAceMainHeaderFixed) return std::nullopt;
    main.VersionCreated = fixed[15];
    return main;
}

std::optional<TAceFileHeader> ParseAceFileHeader(std::span<const std::uint8_t> fixed) {
    if (fixed.size() < kAceFileHeaderFixed || fixed[4] != kAceFileBlock) return std::nullopt;
    TAceFileHeader file;
    file.HeaderSize = LoadLE16(&fixed[2]);
    file.Flags = LoadLE16(&fixed[5]);
    file.PackedSize = (file.Flags & kAceAddSize) != 0 ? LoadLE32(&fixed[7]) : 0;
    file.OriginalSize = LoadLE32(&fixed[11]);
    file.DosTime = LoadLE32(&fixed[15]);
    file.Attributes = LoadLE32(&fixed[19]);
    file.Crc32 = ~LoadLE32(&fixed[23]);
    file.CompressionType = fixed[27];
    file.Quality = fixed[28];
    file.NameSize = LoadLE16(&fixed[33]);
    if (kAceFileHeaderFixed + file.NameSize > file.HeaderSize + kAceSizeFieldsSize) return std::nullopt;
    return file;
}

}  // namespace kv
