#pragma once

#include <cstdint>

#include "engine/core/entry_enums.h"
#include "engine/writers/chunk_compressor.h"
#include "engine/writers/gzip_member.h"

namespace kv {

// Unpacks the packed TAR `packed` (a TAR writer's cmTarGzip, cmTarXz or cmTarZstd) into `tar`; false when it
// is damaged or truncated, or `tar` cannot take it.
bool UnpackTar(TCompressMethod method, TStream32& packed, TStream32& tar);

// Packs `size` bytes of the TAR `tar` with the compressor of `method`, as strong as `type` asks; `info` names
// the packed TAR where the format keeps a name (GZIP).
TChunkResult PackTar(TCompressMethod method, TStream32& tar, std::int64_t size, const TGzipMemberInfo& info,
                     TDeflateType type, TStream32& out, const TChunkProgress& progress);

}  // namespace kv
