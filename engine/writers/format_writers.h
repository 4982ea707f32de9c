#pragma once

#include <memory>

#include "engine/core/arc_type.h"
#include "engine/writers/comp_base.h"

namespace kv {

using TWriterFactory = std::unique_ptr<TCompBase> (*)();

// What the writers library serves for one format (see engine/core/formats.h for the rest of the row).
struct TFormatWriting {
    TArcType Type = atNA;
    TWriterFactory Writer = nullptr;
};

// The writing row of a type; one with a null writer when nothing writes it.
const TFormatWriting& WritingOf(TArcType type);

// A fresh writer for an archive type, or null where the engine has none.
std::unique_ptr<TCompBase> CreateWriter(TArcType type);

}  // namespace kv
