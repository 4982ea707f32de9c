#pragma once

#include <cstdint>

#include "engine/core/arc_type.h"
#include "engine/core/formats.h"

namespace kv {

// What a ZIP-like signature still needs before its type is known.
enum class TZipVolumeCheck {
    zvNone,            // the row's type stands
    zvWithCentralDir,  // a central header at the start: ask the ZIP volume rule, then check the directory
    zvAlone,           // a spanning marker: the ZIP volume rule alone decides
};

struct TSignatureEntry {
    TArcType Type = atNA;           // atNA means no match
    std::int64_t StartOffset = -1;  // the start offset the row fixes, -1 when it fixes none
    TZipVolumeCheck ZipVolume = TZipVolumeCheck::zvNone;
};

// Classifies the four bytes found at a candidate position by the signatures of the formats' rows.
TSignatureEntry LookUpSignature(TSignatureMode mode, const std::uint8_t* bytes);

}  // namespace kv
