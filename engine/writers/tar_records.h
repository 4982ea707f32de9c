#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/readers/tar_header.h"

namespace kv {

// The owner a new member is written with.
struct TTarOwner {
    std::uint32_t Uid = 0;
    std::uint32_t Gid = 0;
    std::string UName;
    std::string GName;
};

// A header block of a new member: mode, owner, type and magic filled in; name, size, time and checksum
// come with FrameTarMember.
TTarBlock NewTarHeader(std::uint32_t mode, const TTarOwner& owner, char type_flag);

// The fields that may outgrow their place in a header block.
struct TTarMemberFields {
    std::string Name;  // "/" separators; a folder ends in "/"
    std::string LinkName;
    std::int64_t Size = 0;
    std::optional<std::int64_t> ModificationTime;  // none keeps the header's own field
};

// The blocks in front of a member's data: a pax extended header when the name or link is longer than its
// field, the size reaches 8 GiB or the time does not fit 11 octal digits; then `header` with the fields
// written (a size that does not fit also in base-256) and its checksum set.
std::vector<std::uint8_t> FrameTarMember(TTarBlock header, const TTarMemberFields& fields);

// The checksum of a header block: the sum of its bytes with the checksum field taken as eight blanks.
std::uint32_t TarChecksum(const TTarBlock& header);

// One "length key=value\n" record of a pax extended header.
std::string PaxRecord(const std::string& key, const std::string& value);

}  // namespace kv
