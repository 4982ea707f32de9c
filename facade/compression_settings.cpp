#include "facade/compression_settings.h"

#include <optional>

#include "engine/core/packed_tar_types.h"

namespace kv::facade {
namespace {

std::optional<TCompressMethod> MethodFor(TCompressionFactor factor, TArcType type) {
    const bool none = factor == cfNone;
    switch (type) {
        case atBh: return none ? cmStore : cmFuse;
        case atCab: return none ? cmStore : factor == cfFull ? cmLzx : cmQuantum;
        case atGZip: return cmDeflate;
        case atJar: return none ? cmStore : cmDeflate;
        case atLha:
        case atLzh: return none ? cmStore : factor == cfFull ? cmFrozen6 : cmFrozen5;
        case atTar:
        case atTarGZip:
        case atTarXz:
        case atTarZstd: return none ? cmTarred : TarMethodFor(type);
        case atXz: return cmXz;
        case atZstd: return cmZstd;
        default: return std::nullopt;
    }
}

}  // namespace

void ApplyCompressionFactor(TCompressionFactor factor, TArcType type, TCompressionSettings& settings) {
    constexpr int kZipLevels[] = {0, 3, 7, 9};
    settings.ZipAddCompLevel = kZipLevels[factor];
    if (const auto method = MethodFor(factor, type)) settings.EngCompressMethod = *method;
    if (factor == cfLight) settings.EngDeflateType = dtDeflateF;
    if (factor == cfNormal) settings.EngDeflateType = dtDeflateN;
    if (factor == cfFull) settings.EngDeflateType = dtDeflateX;
}

}  // namespace kv::facade
