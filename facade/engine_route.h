#pragma once

#include <string>

#include "engine/core/arc_type.h"

namespace kv::facade {

// The engine that serves an open archive: the ZIP manager, or the engine's lister, readers and writers.
enum class TEngineRoute { erZipManager, erEngine };

// The route for an archive of `type` in `file` (empty for a new archive, which has nothing to read yet):
// the ZIP manager serves the types its row names it for when it finds the end record it reads the directory
// from; a ZIP without one (cut short, or a damaged record) is read from its local headers by the engine, as
// other extractors do.
TEngineRoute EngineRouteFor(TArcType type, const std::string& file);

}  // namespace kv::facade
