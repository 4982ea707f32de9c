#pragma once

#include "engine/core/arc_type.h"
#include "engine/core/entry_enums.h"
#include "facade/facade_enums.h"

namespace kv::facade {

// The engine settings one simple compression choice stands for.
struct TCompressionSettings {
    int ZipAddCompLevel = 7;
    TCompressMethod EngCompressMethod = cmStore;
    TDeflateType EngDeflateType = dtDeflateN;
};

// Derives the settings for an archive of `type` from `factor`; what the factor does not decide for that
// type keeps its value in `settings`.
void ApplyCompressionFactor(TCompressionFactor factor, TArcType type, TCompressionSettings& settings);

}  // namespace kv::facade
