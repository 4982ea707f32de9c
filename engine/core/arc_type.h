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
inline constexpr TArcTypes kZipFamilyTypes{atJar, atJarExe, atZip, atZipExe};
inline constexpr TArcTypes kCompressableTypes{atBh, atBz2, atCab, atGZip, atJar, atLha, atLzh, atTar, atZip, atZipMV, atXz, atZstd};
inline constexpr TArcTypes kDecompressableTypes{
    atAce, atAceExe, atArc, atArcExe, atArj, atArjExe, atB64, atBh, atBhExe, atBz2, atCab, atCabExe, atGZip, atJar,
    atLha, atLhaExe, atLzh, atLzhExe, atRar, atRarExe, atTar, atUUE, atZip, atZipExe, atZipDS, atZipMV, atZoo, atXz, atZstd};
inline constexpr TArcTypes kTestableTypes{
    atAce, atAceExe, atArc, atArcExe, atArj, atArjExe, atB64, atBh, atBhExe, atBz2, atGZip, atJar, atJarExe,
    atLha, atLhaExe, atLzh, atLzhExe, atRar, atRarExe, atTar, atUUE, atZip, atZipExe, atZipDS, atZipMV, atZoo, atXz, atZstd};
inline constexpr TArcTypes kZipWritableTypes{atJar, atJarExe, atZip, atZipExe, atZipMV};
inline constexpr TArcTypes kCipherCapableTypes{atBh, atBhExe, atJar, atJarExe, atZip, atZipExe, atZipDS, atZipMV};
inline constexpr TArcTypes kOutsideDecoderTypes{atAce, atAceExe, atCab, atCabExe, atRar, atRarExe};
// The ZIP types whose entries the ZIP reader serves (`atZip` to `atZipMV`, plus JAR).
inline constexpr TArcTypes kZipTypes{atJar, atJarExe, atZip, atZipExe, atZipDS, atZipMV};

inline bool IsKnownType(TArcType t) { return !kInvalidTypes.Contains(t); }
inline bool IsCompressableType(TArcType t) { return kCompressableTypes.Contains(t); }
inline bool IsDecompressableType(TArcType t) { return kDecompressableTypes.Contains(t); }
inline bool IsTestableType(TArcType t) { return kTestableTypes.Contains(t); }
inline bool IsZipWritableType(TArcType t) { return kZipWritableTypes.Contains(t); }
inline bool IsCipherCapableType(TArcType t) { return kCipherCapableTypes.Contains(t); }
inline bool IsOutsideDecoderType(TArcType t) { return kOutsideDecoderTypes.Contains(t); }

// The ten-character display name ("ZIP       ").
std::string_view ArcTypeDisplayName(TArcType t);
// The value's own name ("atZip"), as scripts see it.
std::string_view ArcTypeValueName(TArcType t);

}  // namespace kv
