#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/entry_enums.h"
#include "engine/writers/chunk_compressor.h"
#include "engine/writers/gzip_member.h"
#include "engine/writers/packing_stream.h"

namespace kv {

// Unpacks the packed TAR `packed` (a TAR writer's cmTarGzip, cmTarXz or cmTarZstd) into `tar`; false when it
// is damaged or truncated, or `tar` cannot take it.
bool UnpackTar(TCompressMethod method, TStream32& packed, TStream32& tar);

// A stream that packs the TAR written into it with the compressor of `method`, as strong as `type` asks,
// into `out` as it comes; `info` names the packed TAR where the format keeps a name (GZIP). Null when `out`
// refused the first bytes.
std::unique_ptr<TPackingStream> NewTarPacker(TCompressMethod method, const TGzipMemberInfo& info, TDeflateType type,
                                             TStream32& out);

}  // namespace kv
