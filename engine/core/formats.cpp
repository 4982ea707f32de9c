#include "engine/core/formats.h"

#include <algorithm>

#include "engine/core/method_names.h"
#include "engine/core/text_case.h"

namespace kv {
namespace {

using enum TSignatureMode;
using Ext = std::string_view;

constexpr TSignature Whole(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d, TSignatureMode mode,
                           std::int64_t start = -1) {
    return {{a, b, c, d}, 4, 0, mode, start, false};
}
constexpr TSignature Pair(std::uint8_t a, std::uint8_t b, TSignatureMode mode, std::int64_t start = -1) {
    return {{a, b}, 2, 0, mode, start, false};
}
// A pair found inside an executable that no self-extractor of the format is known to put there.
constexpr TSignature RefusedPair(std::uint8_t a, std::uint8_t b) { return {{a, b}, 2, 0, smEmbedded, -1, true}; }

// ARC self-extractors of one known build keep their archive at this fixed offset.
constexpr std::int64_t kArcSfxOffset = 7716;

// ---- signatures ----

constexpr TSignature kArcSigs[] = {
    Whole(0xB7, 0xDF, 0x54, 0x57, smStart),
    // Entries of the methods before crunching (1 to 7) begin an archive as well; without these an archive
    // whose first entry is packed or squeezed would go unrecognised.
    Pair(0x1A, 0x01, smStart), RefusedPair(0x1A, 0x01), Pair(0x1A, 0x02, smStart), RefusedPair(0x1A, 0x02),
    Pair(0x1A, 0x03, smStart), RefusedPair(0x1A, 0x03), Pair(0x1A, 0x04, smStart), RefusedPair(0x1A, 0x04),
    Pair(0x1A, 0x05, smStart), RefusedPair(0x1A, 0x05), Pair(0x1A, 0x06, smStart), RefusedPair(0x1A, 0x06),
    Pair(0x1A, 0x07, smStart), RefusedPair(0x1A, 0x07), Pair(0x1A, 0x1E, smStart), RefusedPair(0x1A, 0x1E),
    Pair(0x1A, 0x08, smStart), Pair(0x1A, 0x09, smStart)};
constexpr TSignature kArcExeSigs[] = {
    Whole(0xB7, 0xDF, 0x54, 0x57, smEmbedded, kArcSfxOffset),
    Pair(0x1A, 0x08, smEmbedded), Pair(0x1A, 0x09, smEmbedded),
    Pair(0xB7, 0x92, smStart, kArcSfxOffset), Pair(0xB7, 0x92, smEmbedded, kArcSfxOffset),
    Pair(0xB7, 0xDF, smStart, kArcSfxOffset), Pair(0xB7, 0xDF, smEmbedded, kArcSfxOffset)};
constexpr TSignature kArjSigs[] = {Pair(0x60, 0xEA, smStart)};
constexpr TSignature kArjExeSigs[] = {Pair(0x60, 0xEA, smEmbedded)};
constexpr TSignature kBhSigs[] = {Whole(0x42, 0x48, 0x05, 0x07, smStart)};
constexpr TSignature kBhExeSigs[] = {Whole(0x42, 0x48, 0x05, 0x07, smEmbedded)};
constexpr TSignature kCabSigs[] = {Whole(0x4D, 0x53, 0x43, 0x46, smStart)};
constexpr TSignature kCabExeSigs[] = {Whole(0x4D, 0x53, 0x43, 0x46, smEmbedded)};
constexpr TSignature kGZipSigs[] = {Pair(0x1F, 0x1E, smStart), RefusedPair(0x1F, 0x1E), Pair(0x25, 0x21, smStart),
                                    RefusedPair(0x25, 0x21),   Pair(0x1F, 0x8B, smStart), RefusedPair(0x1F, 0x8B),
                                    Pair(0x1F, 0x9D, smStart), RefusedPair(0x1F, 0x9D), Pair(0x1F, 0x9E, smStart),
                                    RefusedPair(0x1F, 0x9E),   Pair(0x1F, 0xA0, smStart), RefusedPair(0x1F, 0xA0)};
constexpr TSignature kHaSigs[] = {Pair(0x48, 0x41, smStart), RefusedPair(0x48, 0x41)};
// The method name "-lh5-" two bytes into the header.
constexpr TSignature kLhaSigs[] = {{{'-', 'l'}, 2, 2, smStart, -1, false}};
constexpr TSignature kLhaExeSigs[] = {{{'-', 'l'}, 2, 2, smEmbedded, -1, false}};
constexpr TSignature kMsGZSigs[] = {Whole(0x13, 0x5D, 0x65, 0x8C, smStart),
                                    {{0x13, 0x5D, 0x65, 0x8C}, 4, 0, smEmbedded, -1, true}};
constexpr TSignature kPakSigs[] = {Pair(0x1A, 0x0A, smStart), Pair(0x1A, 0x0B, smStart)};
constexpr TSignature kPakExeSigs[] = {Pair(0x1A, 0x0A, smEmbedded), Pair(0x1A, 0x0B, smEmbedded)};
constexpr TSignature kRarSigs[] = {Whole(0x52, 0x61, 0x72, 0x21, smStart)};
constexpr TSignature kRarExeSigs[] = {Whole(0x52, 0x61, 0x72, 0x21, smEmbedded)};
// "PKG5" belongs to a packer this program does not read.
constexpr TSignature kUnknownSigs[] = {Whole(0x50, 0x4B, 0x47, 0x35, smStart), Whole(0x50, 0x4B, 0x47, 0x35, smEmbedded)};
// XZ and Zstandard files (and LZMA alone files, which have no magic) are known by the rules of
// stream_signatures.cpp, which look at more than four bytes.
constexpr TSignature kZooSigs[] = {Pair(0x5A, 0x4F, smStart), RefusedPair(0x5A, 0x4F)};

// ---- method names ----

constexpr std::string_view kDir = "<Dir>";
constexpr TMethodName kAceMethods[] = {{0, "Fastest"}, {1, "Fast"}, {2, "Normal"}, {3, "Good"}, {4, "Best"}};
constexpr TMethodName kArcMethods[] = {{1, "Stored"},  {2, "Stored"},  {3, "Packed"},  {4, "Squeezed"},
                                       {5, "Crunched"}, {6, "Crunched"}, {7, "Squashed"}, {8, "Pack10"},
                                       {9, "Pack11"},  {10, "Pack12"}, {11, "Stored"},  {30, kDir}};
constexpr TMethodName kArjMethods[] = {{0, "Stored"}, {1, "Most"}, {2, "2nd Most"}, {3, "2nd Fast"}, {4, "Fastest"}};
constexpr TMethodName kBhMethods[] = {{0, "Stored"}, {1, "Fused1"}, {2, "Deflate"}, {3, "Fused3"}};
constexpr TMethodName kBz2Methods[] = {{0, "Stored"}, {1, "BZ'd"}};
constexpr TMethodName kCabMethods[] = {{0, "Stored"}, {1, "MsZIP"}, {2, "Quantum"}, {3, "Lzx"}};
constexpr TMethodName kGZipMethods[] = {{0, "Stored"}, {8, "Deflate"}, {144, "LzwMAGIC"}};
constexpr TMethodName kHaMethods[] = {{0, "Cpy"}, {1, "Asc"}, {2, "HSC"}, {14, kDir}, {15, "Special"}};
constexpr TMethodName kLhaMethods[] = {{'0', "Stored"},   {'1', "Frozen-1"}, {'2', "Frozen-2"},
                                       {'3', "Frozen-3"}, {'4', "Frozen-4"}, {'5', "Frozen-5"},
                                       {'6', "Frozen-6"}, {'7', "Frozen-7"}, {'d', kDir}};
constexpr TMethodName kPakMethods[] = {{2, "Stored"},   {3, "RLE"},      {4, "Squeezed"}, {5, "FixedLen"},
                                       {6, "FixedLen"}, {7, "FixedLen"}, {8, "Varible"},  {9, "Varible"},
                                       {10, "Crushed"}, {11, "Distill"}};
constexpr TMethodName kRarMethods[] = {{'0', "Stored"}, {'1', "Fastest"}, {'2', "Fast"},
                                       {'3', "Normal"}, {'4', "Good"},    {'5', "Best"}};
constexpr TMethodName kTarMethods[] = {{0, "Tarred"}};
constexpr TMethodName kXzMethods[] = {{kXzMethodXz, "XZ"}, {kXzMethodLzma, "LZMA"}};
constexpr TMethodName kZstdMethods[] = {{0, "Zstd"}};
constexpr TMethodName kZooMethods[] = {{0, "Stored"}, {1, "Fastest"}, {2, "Greatest"}};
// Deflate (8) and Deflate64 (9) are named by their strength ("DFLT-N"), AES (99) by the method it wraps.
constexpr TMethodName kZipMethods[] = {{0, "Stored"},    {1, "Shrunk"},   {2, "Reduce-1"},    {3, "Reduce-2"},
                                       {4, "Reduce-3"},  {5, "Reduce-4"}, {6, "Imploded"},    {7, "Tokened"},
                                       {8, "Deflate"},   {9, "Deflate64"}, {10, "DCL-implode"}, {12, "BZip2"},
                                       {14, "LZMA"},     {20, "Zstd"},    {93, "Zstd"},       {95, "XZ"},
                                       {98, "PPMd"}};

// ---- extensions ----

constexpr Ext kAceExts[] = {"ace"};
constexpr Ext kArcExts[] = {"arc"};
constexpr Ext kArjExts[] = {"arj"};
constexpr Ext kB64Exts[] = {"b64"};
constexpr Ext kBhExts[] = {"bh"};
constexpr Ext kBz2Exts[] = {"bz2"};
constexpr Ext kCabExts[] = {"cab"};
constexpr Ext kGZipExts[] = {"gz", "z"};
constexpr Ext kHaExts[] = {"ha"};
constexpr Ext kJarExts[] = {"jar"};
constexpr Ext kLhaExts[] = {"lha"};
constexpr Ext kLzhExts[] = {"lzh"};
constexpr Ext kPakExts[] = {"pak"};
constexpr Ext kRarExts[] = {"rar"};
constexpr Ext kTarExts[] = {"tar"};
constexpr Ext kTarGZipExts[] = {"tar.gz", "tgz"};
constexpr Ext kUueExts[] = {"uue", "uu", "xxe"};
constexpr Ext kZipExts[] = {"zip", "pk3"};
constexpr Ext kZooExts[] = {"zoo"};
constexpr Ext kXzExts[] = {"xz", "lzma"};
constexpr Ext kZstdExts[] = {"zst"};
constexpr Ext kTarXzExts[] = {"tar.xz", "txz"};
constexpr Ext kTarZstdExts[] = {"tar.zst", "tzst"};

// Names of compressed files that hold a TAR.
constexpr Ext kGZipTarExts[] = {"tar.gz", "tgz", "taz"};
constexpr Ext kBz2TarExts[] = {"tar.bz2", "tbz2", "tbz"};
constexpr Ext kXzTarExts[] = {"tar.xz", "txz"};
constexpr Ext kZstdTarExts[] = {"tar.zst", "tzst"};

// ---- compression choices (none, light, normal, full) ----

constexpr TCompressionChoices kBhChoices{cmStore, cmFuse, cmFuse, cmFuse};
constexpr TCompressionChoices kCabChoices{cmStore, cmQuantum, cmQuantum, cmLzx};
constexpr TCompressionChoices kGZipChoices{cmDeflate, cmDeflate, cmDeflate, cmDeflate};
constexpr TCompressionChoices kJarChoices{cmStore, cmDeflate, cmDeflate, cmDeflate};
constexpr TCompressionChoices kLhaChoices{cmStore, cmFrozen5, cmFrozen5, cmFrozen6};
constexpr TCompressionChoices kTarChoices{cmTarred, cmTarGzip, cmTarGzip, cmTarGzip};
constexpr TCompressionChoices kXzChoices{cmXz, cmXz, cmXz, cmXz};
constexpr TCompressionChoices kZstdChoices{cmZstd, cmZstd, cmZstd, cmZstd};
constexpr TCompressionChoices kTarXzChoices{cmTarred, cmTarXz, cmTarXz, cmTarXz};
constexpr TCompressionChoices kTarZstdChoices{cmTarred, cmTarZstd, cmTarZstd, cmTarZstd};

constexpr TVolumeNaming kAceVolumes{'C', "Ace"};
constexpr TVolumeNaming kArjVolumes{'a', "Arj", 1};
constexpr TVolumeNaming kJarVolumes{'j', "Jar"};
constexpr TVolumeNaming kRarVolumes{'q', "Rar", 0, true};

using enum TFormatTrait;
// What the engine is meant to read from and test in an archive.
constexpr TFormatTraits kReadable{ftDecompressable, ftTestable};
constexpr TFormatTraits kOutside{ftDecompressable, ftTestable, ftOutsideDecoder};
constexpr TFormatTraits kOutsideSfx{ftDecompressable, ftTestable, ftOutsideDecoder, ftSelfExtracting};
constexpr TFormatTraits kReadableSfx{ftDecompressable, ftTestable, ftSelfExtracting};
constexpr TFormatTraits kLhaSfx{ftDecompressable, ftTestable, ftSelfExtracting, ftPackedCapped};

// Each row names only what its format has; every other member keeps its default.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
constexpr TFormat kFormats[kArcTypeCount] = {
    {.Type = atNA, .ValueName = "atNA", .DisplayName = "Not avail. "},
    {.Type = atUnsupported, .ValueName = "atUnsupported", .DisplayName = "Unsupport."},
    {.Type = atFileOpenErr, .ValueName = "atFileOpenErr", .DisplayName = "File Error"},
    {.Type = atUnknown, .ValueName = "atUnknown", .DisplayName = "Unknown   ", .Signatures = kUnknownSigs},
    {.Type = atAce, .ValueName = "atAce", .DisplayName = "ACE       ", .SelfExtractingForm = atAceExe,
     .Extensions = kAceExts, .Traits = kOutside,
     .Methods = kAceMethods, .NameMethod = NameFromMethodTable, .Volumes = kAceVolumes, .OpenFilterKey = "msgFAce"},
    {.Type = atAceExe, .ValueName = "atAceExe", .DisplayName = "ACE SFX   ", .PlainForm = atAce,
     .Traits = kOutsideSfx,
     .Methods = kAceMethods, .NameMethod = NameFromMethodTable},
    {.Type = atArc, .ValueName = "atArc", .DisplayName = "ARC       ", .SelfExtractingForm = atArcExe,
     .Extensions = kArcExts, .Signatures = kArcSigs,
     .Traits = kReadable, .Methods = kArcMethods, .NameMethod = NameFromMethodTable, .OpenFilterKey = "msgFArc"},
    {.Type = atArcExe, .ValueName = "atArcExe", .DisplayName = "ARC SFX   ", .PlainForm = atArc,
     .Signatures = kArcExeSigs,
     .Traits = kReadableSfx, .Methods = kArcMethods, .NameMethod = NameFromMethodTable},
    {.Type = atArj, .ValueName = "atArj", .DisplayName = "ARJ       ", .SelfExtractingForm = atArjExe,
     .Extensions = kArjExts, .Signatures = kArjSigs,
     .Traits = kReadable, .Methods = kArjMethods, .NameMethod = NameArjMethod, .Volumes = kArjVolumes,
     .OpenFilterKey = "msgFArj"},
    {.Type = atArjExe, .ValueName = "atArjExe", .DisplayName = "ARJ SFX   ", .PlainForm = atArj,
     .Signatures = kArjExeSigs,
     .Traits = kReadableSfx, .Methods = kArjMethods, .NameMethod = NameArjMethod},
    {.Type = atB64, .ValueName = "atB64", .DisplayName = "Base64    ", .Extensions = kB64Exts, .Traits = kReadable},
    {.Type = atBh, .ValueName = "atBh", .DisplayName = "BH        ", .SelfExtractingForm = atBhExe,
     .Extensions = kBhExts, .Signatures = kBhSigs,
     .Traits = {ftCompressable, ftDecompressable, ftTestable, ftCipherCapable}, .Methods = kBhMethods,
     .NameMethod = NameBhMethod, .Compression = kBhChoices, .OpenFilterKey = "msgFBh", .NewFilterKey = "msgFCBh"},
    {.Type = atBhExe, .ValueName = "atBhExe", .DisplayName = "BH  SFX   ", .PlainForm = atBh,
     .Signatures = kBhExeSigs,
     .Traits = {ftDecompressable, ftTestable, ftCipherCapable, ftSelfExtracting}, .Methods = kBhMethods,
     .NameMethod = NameBhMethod},
    {.Type = atBz2, .ValueName = "atBz2", .DisplayName = "BZ2       ", .Extensions = kBz2Exts,
     .TarExtensions = kBz2TarExts,
     .Traits = {ftCompressable, ftDecompressable, ftTestable, ftHoldsTar}, .Methods = kBz2Methods,
     .NameMethod = NameFromMethodTable, .LevelMethod = cmBZip2},
    {.Type = atCab, .ValueName = "atCab", .DisplayName = "CAB       ", .SelfExtractingForm = atCabExe,
     .Extensions = kCabExts, .Signatures = kCabSigs,
     .Traits = {ftCompressable, ftDecompressable, ftOutsideDecoder}, .Methods = kCabMethods,
     .NameMethod = NameCabMethod, .Compression = kCabChoices, .OpenFilterKey = "msgFCab", .NewFilterKey = "msgFCCab"},
    {.Type = atCabExe, .ValueName = "atCabExe", .DisplayName = "CAB SFX   ", .PlainForm = atCab,
     .Signatures = kCabExeSigs,
     .Traits = {ftDecompressable, ftOutsideDecoder}, .Methods = kCabMethods, .NameMethod = NameCabMethod},
    {.Type = atGZip, .ValueName = "atGZip", .DisplayName = "GZip      ", .Extensions = kGZipExts,
     .TarExtensions = kGZipTarExts, .Signatures = kGZipSigs,
     .Traits = {ftCompressable, ftDecompressable, ftTestable, ftHoldsTar, ftTextTranslation}, .Methods = kGZipMethods,
     .NameMethod = NameGZipMethod,
     .Compression = kGZipChoices, .OpenFilterKey = "msgFGZip"},
    {.Type = atHA, .ValueName = "atHA", .DisplayName = "HA        ", .Extensions = kHaExts, .Signatures = kHaSigs,
     .Methods = kHaMethods, .NameMethod = NameFromMethodTable},
    {.Type = atJar, .ValueName = "atJar", .DisplayName = "Java JAR  ", .SelfExtractingForm = atJarExe,
     .Extensions = kJarExts,
     .Traits = {ftCompressable, ftDecompressable, ftTestable, ftZipWritable, ftCipherCapable, ftZipFamily, ftZipEntries},
     .Methods = kZipMethods, .NameMethod = NameZipMethod, .Volumes = kJarVolumes, .Compression = kJarChoices,
     .OpenFilterKey = "msgFJar", .NewFilterKey = "msgFCJar"},
    {.Type = atJarExe, .ValueName = "atJarExe", .DisplayName = "JJAR SFX  ", .PlainForm = atJar,
     .Traits = {ftTestable, ftZipWritable, ftCipherCapable, ftZipFamily, ftZipEntries, ftSelfExtracting},
     .Methods = kZipMethods, .NameMethod = NameZipMethod, .Volumes = kJarVolumes},
    {.Type = atLha, .ValueName = "atLha", .DisplayName = "LHA       ", .SelfExtractingForm = atLhaExe,
     .Extensions = kLhaExts, .Signatures = kLhaSigs,
     .Traits = {ftCompressable, ftDecompressable, ftTestable, ftPackedCapped}, .Methods = kLhaMethods,
     .NameMethod = NameFromMethodTable, .Compression = kLhaChoices, .OpenFilterKey = "msgFLha",
     .NewFilterKey = "msgFCLha"},
    {.Type = atLhaExe, .ValueName = "atLhaExe", .DisplayName = "LHA SFX   ", .PlainForm = atLha,
     .Signatures = kLhaExeSigs,
     .Traits = kLhaSfx, .Methods = kLhaMethods, .NameMethod = NameFromMethodTable},
    {.Type = atLzh, .ValueName = "atLzh", .DisplayName = "LZH       ", .SelfExtractingForm = atLzhExe,
     .Extensions = kLzhExts,
     .Traits = {ftCompressable, ftDecompressable, ftTestable, ftPackedCapped}, .Methods = kLhaMethods,
     .NameMethod = NameFromMethodTable, .Compression = kLhaChoices},
    {.Type = atLzhExe, .ValueName = "atLzhExe", .DisplayName = "LZH SFX   ", .PlainForm = atLzh, .Traits = kLhaSfx,
     .Methods = kLhaMethods, .NameMethod = NameFromMethodTable},
    {.Type = atMsGZ, .ValueName = "atMsGZ", .DisplayName = "MsGZ     \t", .Signatures = kMsGZSigs,
     .Traits = {ftTextTranslation}},
    {.Type = atPak, .ValueName = "atPak", .DisplayName = "PAK       ", .SelfExtractingForm = atPakExe,
     .Extensions = kPakExts, .Signatures = kPakSigs,
     .Methods = kPakMethods, .NameMethod = NameFromMethodTable},
    {.Type = atPakExe, .ValueName = "atPakExe", .DisplayName = "PAK SFX   ", .PlainForm = atPak,
     .Signatures = kPakExeSigs,
     .Traits = {ftSelfExtracting}, .Methods = kPakMethods, .NameMethod = NameFromMethodTable},
    {.Type = atRar, .ValueName = "atRar", .DisplayName = "RAR       ", .SelfExtractingForm = atRarExe,
     .Extensions = kRarExts, .Signatures = kRarSigs,
     .Traits = kOutside, .Methods = kRarMethods, .NameMethod = NameRarMethod, .Volumes = kRarVolumes,
     .OpenFilterKey = "msgFRar"},
    {.Type = atRarExe, .ValueName = "atRarExe", .DisplayName = "RAR SFX   ", .PlainForm = atRar,
     .Signatures = kRarExeSigs,
     .Traits = kOutsideSfx, .Methods = kRarMethods, .NameMethod = NameRarMethod, .Volumes = kRarVolumes},
    {.Type = atTar, .ValueName = "atTar", .DisplayName = "TAR       ", .Extensions = kTarExts,
     .Traits = {ftCompressable, ftDecompressable, ftTestable}, .Methods = kTarMethods, .NameMethod = NameTarMethod,
     .Compression = kTarChoices, .LevelMethod = cmTarred, .OpenFilterKey = "msgFTar",
     .NewFilterKey = "msgFCTar"},
    {.Type = atTarGZip, .ValueName = "atTarGZip", .DisplayName = "TarGzip   ", .Extensions = kTarGZipExts,
     .NewExtensionCount = 2,
     .Traits = {ftWrittenOnly}, .Compression = kTarChoices, .LevelMethod = cmTarGzip, .TarPackedAs = atGZip},
    {.Type = atUUE, .ValueName = "atUUE", .DisplayName = "UUE       ", .Extensions = kUueExts, .Traits = kReadable},
    {.Type = atZip, .ValueName = "atZip", .DisplayName = "ZIP       ", .SelfExtractingForm = atZipExe,
     .RemovableMediaForm = atZipDS, .Extensions = kZipExts, .NewExtensionCount = 2,
     .Traits = {ftCompressable, ftDecompressable, ftTestable, ftZipWritable, ftCipherCapable, ftZipFamily,
                ftZipEntries, ftSpannable, ftZipManager},
     .Methods = kZipMethods, .NameMethod = NameZipMethod, .OpenFilterKey = "msgFZip", .NewFilterKey = "msgFCZip"},
    {.Type = atZipExe, .ValueName = "atZipExe", .DisplayName = "ZIP SFX   ", .PlainForm = atZip,
     .Traits = {ftDecompressable, ftTestable, ftZipWritable, ftCipherCapable, ftZipFamily, ftZipEntries,
                ftSelfExtracting, ftSpannable, ftZipManager},
     .Methods = kZipMethods, .NameMethod = NameZipMethod},
    {.Type = atZipDS, .ValueName = "atZipDS", .DisplayName = "Zip Span  ",
     .Traits = {ftDecompressable, ftTestable, ftCipherCapable, ftZipEntries, ftDiskVolumes}, .Methods = kZipMethods,
     .NameMethod = NameZipMethod},
    {.Type = atZipMV, .ValueName = "atZipMV", .DisplayName = "Zip MVol  ",
     .Traits = {ftCompressable, ftDecompressable, ftTestable, ftZipWritable, ftCipherCapable, ftZipEntries,
                ftZipManager, ftDiskVolumes},
     .Methods = kZipMethods, .NameMethod = NameZipMethod},
    {.Type = atZoo, .ValueName = "atZoo", .DisplayName = "ZOO       ", .Extensions = kZooExts, .Signatures = kZooSigs,
     .Traits = kReadable, .Methods = kZooMethods, .NameMethod = NameFromMethodTable, .OpenFilterKey = "msgFZoo"},
    {.Type = atXz, .ValueName = "atXz", .DisplayName = "XZ        ", .Extensions = kXzExts,
     .TarExtensions = kXzTarExts,
     .Traits = {ftCompressable, ftDecompressable, ftTestable, ftHoldsTar}, .Methods = kXzMethods,
     .NameMethod = NameFromMethodTable, .Compression = kXzChoices, .LevelMethod = cmXz, .OpenFilterKey = "msgFXz"},
    {.Type = atZstd, .ValueName = "atZstd", .DisplayName = "Zstd      ", .Extensions = kZstdExts,
     .TarExtensions = kZstdTarExts,
     .Traits = {ftCompressable, ftDecompressable, ftTestable, ftHoldsTar}, .Methods = kZstdMethods,
     .NameMethod = NameFromMethodTable, .Compression = kZstdChoices, .LevelMethod = cmZstd,
     .OpenFilterKey = "msgFZstd"},
    {.Type = atTarXz, .ValueName = "atTarXz", .DisplayName = "TarXz     ", .Extensions = kTarXzExts,
     .NewExtensionCount = 2,
     .Traits = {ftWrittenOnly}, .Compression = kTarXzChoices, .LevelMethod = cmTarXz, .TarPackedAs = atXz},
    {.Type = atTarZstd, .ValueName = "atTarZstd", .DisplayName = "TarZstd   ", .Extensions = kTarZstdExts,
     .NewExtensionCount = 2,
     .Traits = {ftWrittenOnly}, .Compression = kTarZstdChoices, .LevelMethod = cmTarZstd, .TarPackedAs = atZstd},
};
#pragma GCC diagnostic pop

constexpr bool RowsFollowTypeOrder() {
    for (int i = 0; i < kArcTypeCount; ++i)
        if (kFormats[i].Type != i) return false;
    return true;
}
static_assert(RowsFollowTypeOrder(), "one row per TArcType, in its order");

}  // namespace

std::span<const TFormat> Formats() { return kFormats; }

const TFormat& FormatOf(TArcType type) { return kFormats[type < kArcTypeCount ? type : atNA]; }

namespace {

// The row one of whose `names` (Extensions, or a part of them) is `extension`.
template <class Names>
std::optional<TArcType> TypeNamed(std::string_view extension, Names names) {
    for (const TFormat& format : kFormats)
        for (std::string_view ext : names(format))
            if (SameText(ext, extension)) return format.Type;
    return std::nullopt;
}

// The row one of whose `names` (Extensions, or a part of them) ends `file_name` after a dot, the longest that fits.
template <class Names>
std::optional<TArcType> TypeEndingName(std::string_view file_name, Names names) {
    std::optional<TArcType> found;
    std::size_t longest = 0;
    for (const TFormat& format : kFormats) {
        for (std::string_view ext : names(format)) {
            if (ext.size() <= longest || file_name.size() <= ext.size()) continue;
            if (file_name[file_name.size() - ext.size() - 1] != '.' || !EndsWithText(file_name, ext)) continue;
            found = format.Type;
            longest = ext.size();
        }
    }
    return found;
}

}  // namespace

std::optional<TArcType> TypeOfExtension(std::string_view extension) {
    return TypeNamed(extension, [](const TFormat& format) { return format.Extensions; });
}

std::optional<TArcType> TypeOfFileName(std::string_view file_name) {
    return TypeEndingName(file_name, [](const TFormat& format) { return format.Extensions; });
}

std::span<const std::string_view> NewArchiveExtensions(const TFormat& format) {
    return format.Extensions.first(std::min<std::size_t>(format.NewExtensionCount, format.Extensions.size()));
}

std::optional<TArcType> TypeOfNewArchiveName(std::string_view file_name) {
    return TypeEndingName(file_name, NewArchiveExtensions);
}

std::optional<TArcType> TypeOfNewArchiveExtension(std::string_view extension) {
    return TypeNamed(extension, NewArchiveExtensions);
}

std::optional<TArcType> CompressedTarTypeOfName(std::string_view file_name) {
    return TypeEndingName(file_name, [](const TFormat& format) { return format.TarExtensions; });
}

bool IsCompressedTarExtension(std::string_view extension) {
    return extension.find('.') == std::string_view::npos &&
           TypeNamed(extension, [](const TFormat& format) { return format.TarExtensions; }).has_value();
}

}  // namespace kv
