#pragma once

#include <functional>

#include "engine/codecs/codec_io.h"

namespace kv {

// Runs `decode` on a worker thread while the calling thread reads its packed bytes from `source` and
// writes what it decoded into `sink`, through small bounded queues: the caller's I/O (and the events it
// raises: progress, cancelling, a full disk) stays on the caller's thread and in order, and overlaps the
// decoding. Packed bytes are read ahead of the decoder, never past the end of `source`. A block `sink`
// refuses stops the decoder (drStopped); an exception the decoder throws is thrown again here.
TDecodeResult DecodeOverlapped(TByteSource& source, TByteSink& sink,
                               const std::function<TDecodeResult(TByteSource&, TByteSink&)>& decode);

}  // namespace kv
