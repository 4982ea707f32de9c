#pragma once

#include <cstdint>
#include <string_view>

#include "engine/codecs/codec_io.h"

namespace kv {

// Whether this build decodes the LHA method of that id ("-lh5-").
bool IsKnownLhaMethod(std::string_view method);
// Decodes one entry's data by its method id into exactly `unpacked_size` bytes.
TDecodeResult DecodeLhaMethod(std::string_view method, TByteSource& source, TByteSink& sink, std::uint64_t unpacked_size);

}  // namespace kv
