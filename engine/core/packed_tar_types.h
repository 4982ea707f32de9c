#pragma once

#include "engine/core/arc_type.h"
#include "engine/core/entry_enums.h"

namespace kv {

// The TAR archives the TAR writer packs whole into a compressor's file, and the single-file type each is
// read as.
inline constexpr TArcTypes kPackedTarTypes{atTarGZip, atTarXz, atTarZstd};

inline bool IsPackedTarType(TArcType t) { return kPackedTarTypes.Contains(t); }

// The TAR writer's method for one of its types (atTar or a packed TAR).
constexpr TCompressMethod TarMethodFor(TArcType t) {
    switch (t) {
        case atTarGZip: return cmTarGzip;
        case atTarXz: return cmTarXz;
        case atTarZstd: return cmTarZstd;
        default: return cmTarred;
    }
}

constexpr TArcType TarTypeFor(TCompressMethod method) {
    switch (method) {
        case cmTarGzip: return atTarGZip;
        case cmTarXz: return atTarXz;
        case cmTarZstd: return atTarZstd;
        default: return atTar;
    }
}

// The type detection gives a file of a packed TAR type.
constexpr TArcType PackedFileTypeOf(TArcType t) {
    switch (t) {
        case atTarGZip: return atGZip;
        case atTarXz: return atXz;
        case atTarZstd: return atZstd;
        default: return t;
    }
}

}  // namespace kv
