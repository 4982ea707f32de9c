#pragma once

#include <cstdint>
#include <string>

#include "engine/core/dates.h"
#include "engine/core/header_reader.h"
#include "engine/core/oem_names.h"

namespace kv {

// ARJ header flags and file types.
inline constexpr std::uint8_t kArjGarbled = 0x01;
inline constexpr std::uint8_t kArjContinuesInNext = 0x04;
inline constexpr std::uint8_t kArjContinuedFromPrevious = 0x08;
inline constexpr std::uint8_t kArjBinary = 0;
inline constexpr std::uint8_t kArjText = 1;
inline constexpr std::uint8_t kArjDirectory = 3;
inline constexpr std::uint8_t kArjHostUnix = 2;
// The main header's encryption versions up to this one garble; later ones are stronger ciphers.
inline constexpr std::uint8_t kArjLastGarbleVersion = 1;
// The largest basic header ARJ writes (fixed part, name and comment).
inline constexpr std::int64_t kArjMaxBasicHeaderSize = 2600;

// One ARJ basic header (the main header or a file's) as stored.
struct TArjHeader {
    std::uint8_t Version = 0;
    std::uint8_t MinVersion = 0;
    std::uint8_t HostOs = 0;
    std::uint8_t Flags = 0;
    std::uint8_t Method = 0;
    std::uint8_t FileType = 0;
    std::uint8_t PasswordModifier = 0;  // added to each password byte when garbling
    std::uint32_t DosTime = 0;
    std::int64_t PackedSize = 0;
    std::int64_t OriginalSize = 0;
    std::uint32_t Crc32 = 0;
    std::uint16_t AccessMode = 0;
    // A continued file's piece: where in the file it starts. The main header: its encryption version.
    std::uint32_t FilePosition = 0;
    std::uint8_t EncryptionVersion = 0;
    std::string Name;            // stored bytes
    std::int64_t DataOffset = 0; // behind the header's CRC and extended headers

    // ARJ on MS-DOS, OS/2 and Windows (hosts 0, 5, 10, 11) wrote OEM names; elsewhere the system's bytes.
    // ARJ on Unix keeps the modification time as seconds since 1970; elsewhere as MS-DOS date and time.
    bool UnixTime() const { return HostOs == kArjHostUnix; }
    TDateTime ModifiedDate() const { return UnixTime() ? UnixTimeToDateTime(DosTime) : DosDateTimeToDateTime(DosTime); }

    TNameOrigin NameOrigin() const {
        const bool dos = HostOs == 0 || HostOs == 5 || HostOs == 10 || HostOs == 11;
        return dos ? TNameOrigin::noDos : TNameOrigin::noOther;
    }
};

enum class TArjHeaderRead {
    ahEntry,      // a header was read
    ahEnd,        // the end marker: a header of size 0
    ahDamaged,    // no valid header here: another id, fields that do not fit, a wrong header CRC
    ahTruncated,  // the file ends inside the header
    ahOversized,  // the header claims more bytes than ARJ ever writes
};

// Reads the basic header at `offset` of an ARJ archive.
TArjHeaderRead ReadArjHeader(THeaderReader& archive, std::int64_t offset, TArjHeader& header);

}  // namespace kv
