#pragma once

#include <memory>

#include "engine/core/arc_type.h"
#include "engine/core/custom_dclass.h"

namespace kv {

class TArcLister;

using TListWalk = void (*)(TArcLister& lister);
using TReaderFactory = std::unique_ptr<TUnBase> (*)();

// What the readers library serves for one format (see engine/core/formats.h for the rest of the row).
struct TFormatReading {
    TArcType Type = atNA;
    TListWalk Walk = nullptr;         // lists the headers; null when nothing lists the format
    TReaderFactory Reader = nullptr;  // extracts and tests; null when no reader exists yet
};

// The reading row of a type; one with null members when nothing reads it.
const TFormatReading& ReadingOf(TArcType type);

// A fresh reader for an archive type, or null where the engine has none yet.
std::unique_ptr<TUnBase> CreateReader(TArcType type);

}  // namespace kv
