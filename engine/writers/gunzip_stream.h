#pragma once

#include "engine/core/stream32.h"

namespace kv {

// Unpacks the GZIP data of `in` (one member or several in a row) into `out`. False when it is no GZIP
// data, is damaged or truncated, or `out` cannot take it.
bool GunzipStream(TStream32& in, TStream32& out);

}  // namespace kv
