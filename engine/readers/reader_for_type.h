#pragma once

#include <memory>

#include "engine/core/arc_type.h"
#include "engine/core/custom_dclass.h"

namespace kv {

// A fresh reader for an archive type, or null where the engine has none yet.
std::unique_ptr<TUnBase> CreateReader(TArcType type);

}  // namespace kv
