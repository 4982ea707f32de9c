#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/stream32.h"
#include "engine/writers/chunk_pipeline.h"

namespace kv {

// A write-only stream whose bytes go to a compressor in pieces of `chunk_size`, so that a file is packed
// while it is written instead of after. Positions count the bytes written. Only the piece not yet handed
// over can be taken back: SetSize to a size within it cuts it short (the position follows); earlier than
// that, and any seek elsewhere than the end, fails.
class TPackingStream : public TStream32 {
public:
    TPackingStream(std::unique_ptr<TChunkSink> sink, std::size_t chunk_size);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return handed_ + static_cast<std::int64_t>(piece_.size()); }
    bool SetSize(std::int64_t size) override;

    // Hands over the rest as the last piece and waits until all is written; false when the output failed.
    bool Finish();

private:
    bool HandOver(bool last);

    std::unique_ptr<TChunkSink> sink_;
    std::size_t chunk_size_;
    std::vector<std::uint8_t> piece_;
    std::int64_t handed_ = 0;  // bytes given to the sink
    bool failed_ = false;
};

}  // namespace kv
