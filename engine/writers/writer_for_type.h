#pragma once

#include <memory>

#include "engine/core/arc_type.h"
#include "engine/writers/comp_base.h"

namespace kv {

// A fresh writer for an archive type, or null where the engine has none.
std::unique_ptr<TCompBase> CreateWriter(TArcType type);

}  // namespace kv
