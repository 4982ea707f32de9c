#pragma once

// The one table of archive formats: for each TArcType what the program knows about it. Code that has to
// tell formats apart reads its row instead of keeping a list of its own; a new format is one row here plus
// its reader and writer files (and its row in engine/writers/format_engines.cpp, where the engines that
// serve it are named).
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/core/arc_type.h"
#include "engine/core/entry_enums.h"
#include "engine/core/enum_set.h"

namespace kv {

struct TMethodNameExtras;

// Where the bytes of a signature are looked for: at the beginning of a plain file, or inside an executable.
enum class TSignatureMode { smStart, smEmbedded };

// Bytes that mark an archive of the row's type. `At` is their position among the four bytes under test.
struct TSignature {
    std::array<std::uint8_t, 4> Bytes{};
    std::uint8_t Length = 4;
    std::uint8_t At = 0;
    TSignatureMode Mode = TSignatureMode::smStart;
    std::int64_t StartOffset = -1;  // where the archive starts when the row fixes it, -1 otherwise
    bool Refused = false;           // known, but not served in this position: detection says atUnsupported

    constexpr bool Matches(const std::uint8_t* bytes) const {
        for (std::uint8_t i = 0; i < Length; ++i)
            if (bytes[At + i] != Bytes[i]) return false;
        return true;
    }
};

struct TMethodName {
    int Code;
    std::string_view Name;
};

// Names one entry's method; `table` is the row's method table.
using TMethodNamer = std::string (*)(std::span<const TMethodName> table, int method, std::uint16_t flags,
                                     std::uint32_t attributes, const TMethodNameExtras& extras);

// How the volumes of a multi-volume archive are named: data.arj, data.a01, data.a02...
struct TVolumeNaming {
    char Letter = 0;                    // 0: the format has no numbered volumes
    std::string_view DefaultExtension;  // taken when the archive name has none
    int FirstNumber = 0;                // the volume number of a name without digits
    bool RarStyle = false;              // .partN.rar names, and the letter moves on every hundred volumes
};

// Facts about a format that decide what the engine does with it, as the engine's capability sets name them.
enum TFormatTrait : std::uint8_t {
    ftCompressable,    // the engine's writers are meant to create and add to it
    ftDecompressable,  // the engine's readers are meant to extract it
    ftTestable,        // the integrity test accepts it
    ftZipWritable,     // ZIP writing rules apply
    ftCipherCapable,   // the classic ZIP cipher applies to entry data
    ftOutsideDecoder,  // an outside library opens the file; the engine opens no stream
    ftZipFamily,       // a central directory behind a resource offset is looked for
    ftZipEntries,      // the ZIP reader serves its entries
    ftSelfExtracting,  // a self-extracting program
    ftSpannable,       // may be written over several volumes
    ftZipManager,      // the ZIP manager lists and changes it
    ftWrittenOnly,     // no file is detected as it, but new archives of it are written (TAR.GZ)
    ftHoldsTar,        // a compressed single file whose content may be a TAR, then listed and opened as that
    ftDiskVolumes,     // its volumes lie on separate disks: the drive is checked before the archive is read
    ftTextTranslation, // text may be given the local line ends on extraction
    ftPackedCapped,    // a packed size above the unpacked one is shown as the unpacked one (the entry was stored)
};
using TFormatTraits = TEnumSet<TFormatTrait, std::uint32_t>;

// The method a simple compression choice (none, light, normal, full) picks for the format.
using TCompressionChoices = std::array<TCompressMethod, 4>;

struct TFormat {
    TArcType Type = atNA;
    std::string_view ValueName;    // "atZip", as scripts see it
    std::string_view DisplayName;  // ten characters, "ZIP       "
    // The self-extracting form of a plain type (found behind an executable's code), and back.
    TArcType SelfExtractingForm = atNA;
    TArcType PlainForm = atNA;
    // What a file of this type without its end record is read as on removable media: the first disk of a
    // spanned set.
    TArcType RemovableMediaForm = atNA;
    // Lower-case, without the dot; the first is the one a new archive gets.
    std::span<const std::string_view> Extensions;
    // How many of the first Extensions a new archive may be named with; the others are names the format is
    // only read under (.z of pack and compress, .lzma of LZMA alone files).
    std::uint8_t NewExtensionCount = 1;
    // Names of this compressor's files whose content is a TAR ("tar.bz2", "tbz").
    std::span<const std::string_view> TarExtensions;
    std::span<const TSignature> Signatures;
    TFormatTraits Traits;
    std::span<const TMethodName> Methods;
    TMethodNamer NameMethod = nullptr;
    TVolumeNaming Volumes;
    std::optional<TCompressionChoices> Compression;
    // The method a compression level keeps (the level only sets a strength); none where level 0 stores and
    // the others deflate.
    std::optional<TCompressMethod> LevelMethod;
    // A TAR the TAR writer packs whole into a compressor's file (TAR.GZ): the type that file is read as.
    TArcType TarPackedAs = atNA;
    // The window's file-dialog filters (language keys): opening, and making a new archive.
    std::string_view OpenFilterKey;
    std::string_view NewFilterKey;

    bool Has(TFormatTrait trait) const { return Traits.Has(trait); }
};

// Every row, in TArcType order.
std::span<const TFormat> Formats();
const TFormat& FormatOf(TArcType type);

// The type one of whose extensions ends `file_name` after a dot (the longest that fits, any letter case).
std::optional<TArcType> TypeOfFileName(std::string_view file_name);
// The type that claims `extension` (without the dot, any letter case).
std::optional<TArcType> TypeOfExtension(std::string_view extension);

// The extensions a new archive of the format may be named with, the one it gets first.
std::span<const std::string_view> NewArchiveExtensions(const TFormat& format);
// As TypeOfFileName and TypeOfExtension, among the names a new archive may take.
std::optional<TArcType> TypeOfNewArchiveName(std::string_view file_name);
std::optional<TArcType> TypeOfNewArchiveExtension(std::string_view extension);
// The compressor whose file `file_name` names as holding a TAR (a.tbz: atBz2), by its TarExtensions.
std::optional<TArcType> CompressedTarTypeOfName(std::string_view file_name);
// Whether `extension` (one part, without the dot) alone names a compressed TAR (tgz, txz).
bool IsCompressedTarExtension(std::string_view extension);

}  // namespace kv
