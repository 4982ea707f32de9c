#pragma once

// The TARs the TAR writer packs whole into a compressor's file (TAR.GZ, TAR.XZ, TAR.ZST), as their rows
// of the format table describe them.
#include "engine/core/formats.h"

namespace kv {

inline bool IsPackedTarType(TArcType t) { return FormatOf(t).TarPackedAs != atNA; }

// The types the TAR writer writes: atTar and the packed TARs.
inline bool IsTarWriterType(TArcType t) { return t == atTar || IsPackedTarType(t); }

// The TAR writer's method for one of its types (atTar or a packed TAR).
inline TCompressMethod TarMethodFor(TArcType t) {
    return IsPackedTarType(t) ? FormatOf(t).LevelMethod.value_or(cmTarred) : cmTarred;
}

// The type the TAR writer writes with a method: the packed TAR whose method it is, else atTar.
inline TArcType TarTypeFor(TCompressMethod method) {
    for (const TFormat& format : Formats())
        if (format.TarPackedAs != atNA && format.LevelMethod == method) return format.Type;
    return atTar;
}

// The type detection gives a file of a packed TAR type (atTarGZip: atGZip); other types stay as they are.
inline TArcType PackedFileTypeOf(TArcType t) { return IsPackedTarType(t) ? FormatOf(t).TarPackedAs : t; }

}  // namespace kv
