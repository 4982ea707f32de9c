#pragma once

#include <cstdint>
#include <string>

#include "engine/codecs/codec_io.h"

namespace kv {

// A GZIP member header (RFC 1952): magic, method, flags, time, then by flag an extra field, the
// original name, a comment and a CRC of the header itself.
struct TGzipMemberHeader {
    static constexpr std::uint8_t kFlagHeaderCrc = 0x02;  // also the old "multi-part" flag
    static constexpr std::uint8_t kFlagExtra = 0x04;
    static constexpr std::uint8_t kFlagName = 0x08;
    static constexpr std::uint8_t kFlagComment = 0x10;
    static constexpr std::uint8_t kFlagEncrypted = 0x20;
    static constexpr std::uint8_t kMethodDeflate = 8;

    std::uint8_t Magic = 0;  // the second magic byte: 0x8B, or 0x9E for the old format
    std::uint8_t Method = 0;
    std::uint8_t Flags = 0;
    std::uint32_t UnixTime = 0;
    std::string StoredName;      // as stored, without the terminating zero
    bool HeaderCrcOk = false;    // with kFlagHeaderCrc: the two bytes behind the header are its CRC
};

enum class TGzipHeaderRead { ghOk, ghNotGzip, ghTruncated };

// Reads a member header from the source (which then stands on the packed data); ghNotGzip when the
// first bytes are not a GZIP magic (those bytes are read all the same).
TGzipHeaderRead ReadGzipMemberHeader(TByteSource& source, TGzipMemberHeader& header);

}  // namespace kv
