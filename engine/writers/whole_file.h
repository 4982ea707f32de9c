#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/writers/entry_encoder.h"

namespace kv {

// The bytes read, or the errno of the failure.
struct TReadResult {
    std::size_t Size = 0;
    int Error = 0;
};

// Reads a whole file into the encoder's input buffer. A file that changed size since it was listed is
// taken as far as it was listed, or as far as it goes now.
TReadResult ReadWholeFile(const std::string& path, std::int64_t expected, TBufferEncoder& encoder);

// Puts the target text of a symbolic link into the encoder's input buffer: the data of a link entry, as
// Unix archivers store it.
TReadResult ReadLinkTarget(const std::string& path, TBufferEncoder& encoder);

}  // namespace kv
