#include "facade/compression_settings.h"

#include "engine/core/formats.h"

namespace kv::facade {

void ApplyCompressionFactor(TCompressionFactor factor, TArcType type, TCompressionSettings& settings) {
    constexpr int kZipLevels[] = {0, 3, 7, 9};
    settings.ZipAddCompLevel = kZipLevels[factor];
    if (const auto& choices = FormatOf(type).Compression) settings.EngCompressMethod = (*choices)[factor];
    if (factor == cfLight) settings.EngDeflateType = dtDeflateF;
    if (factor == cfNormal) settings.EngDeflateType = dtDeflateN;
    if (factor == cfFull) settings.EngDeflateType = dtDeflateX;
}

}  // namespace kv::facade
