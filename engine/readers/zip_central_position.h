#pragma once

#include <cstdint>
#include <optional>

#include "engine/core/arc_detect.h"
#include "engine/core/header_reader.h"

namespace kv {

// Where the central directory of a detected ZIP starts: detection keeps the end records and the distance
// a prepended stub added, so it lies where the stored offset plus that distance says (a self-extractor's
// start offset already is that place). Nothing when detection found no directory or none is there.
std::optional<std::int64_t> FindZipCentralPosition(const TArcDetection& detection, THeaderReader& reader,
                                                   std::int64_t archive_size);

}  // namespace kv
