#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace kv {

// The archive type; the ordinal is used in sets and tables.
enum TArcType : std::uint8_t {
    atNA, atUnsupported, atFileOpenErr, atUnknown, atAce, atAceExe, atArc, atArcExe, atArj, atArjExe,
    atB64, atBh, atBhExe, atBz2, atCab, atCabExe, atGZip, atHA, atJar, atJarExe, atLha, atLhaExe,
    atLzh, atLzhExe, atMsGZ, atPak, atPakExe, atRar, atRarExe, atTar, atTarGZip, atUUE, atZip,
    atZipExe, atZipDS, atZipMV, atZoo, atXz, atZstd, atTarXz, atTarZstd,
};
inline constexpr int kArcTypeCount = 41;

// A set of archive types held in one 64-bit mask.
class TArcTypes {
public:
    constexpr TArcTypes() = default;
    constexpr TArcTypes(std::initializer_list<TArcType> types) {
        for (TArcType t : types) mask_ |= Bit(t);
    }
    constexpr bool Contains(TArcType t) const { return (mask_ & Bit(t)) != 0; }

private:
    static constexpr std::uint64_t Bit(TArcType t) { return std::uint64_t{1} << t; }
    std::uint64_t mask_ = 0;
};

inline constexpr TArcTypes kInvalidTypes{atNA, atUnsupported, atFileOpenErr, atUnknown};
inline bool IsKnownType(TArcType t) { return !kInvalidTypes.Contains(t); }
// The engine's capability sets, read from the formats' rows.
bool IsCompressableType(TArcType t);
bool IsDecompressableType(TArcType t);
bool IsTestableType(TArcType t);
bool IsZipWritableType(TArcType t);
bool IsCipherCapableType(TArcType t);
bool IsOutsideDecoderType(TArcType t);

// The ten-character display name ("ZIP       ").
std::string_view ArcTypeDisplayName(TArcType t);
// The value's own name ("atZip"), as scripts see it.
std::string_view ArcTypeValueName(TArcType t);

}  // namespace kv
