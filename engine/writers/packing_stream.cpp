#include "engine/writers/packing_stream.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace kv {

TPackingStream::TPackingStream(std::unique_ptr<TChunkSink> sink, std::size_t chunk_size)
    : sink_(std::move(sink)), chunk_size_(chunk_size) {
    piece_.reserve(chunk_size_);
}

std::int64_t TPackingStream::Read(void*, std::int64_t) {
    SetLastError(EBADF);
    return -1;
}

std::int64_t TPackingStream::Write(const void* buffer, std::int64_t count) {
    if (failed_) return -1;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        // A full piece goes only when more comes, so that the last one is known as the last.
        if (piece_.size() == chunk_size_ && !HandOver(false)) return done > 0 ? done : -1;
        const auto part = std::min<std::int64_t>(count - done, static_cast<std::int64_t>(chunk_size_ - piece_.size()));
        piece_.insert(piece_.end(), bytes + done, bytes + done + part);
        done += part;
    }
    return done;
}

std::int64_t TPackingStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t end = Size();
    const std::int64_t target = origin == TSeekOrigin::soBeginning ? offset : end + offset;
    return target == end ? end : -1;
}

bool TPackingStream::SetSize(std::int64_t size) {
    if (size < handed_ || size > Size()) return false;
    piece_.resize(static_cast<std::size_t>(size - handed_));
    return true;
}

bool TPackingStream::Finish() { return !failed_ && HandOver(true); }

bool TPackingStream::HandOver(bool last) {
    handed_ += static_cast<std::int64_t>(piece_.size());
    std::vector<std::uint8_t> piece = std::exchange(piece_, {});
    piece_.reserve(chunk_size_);
    if (!sink_->Put(std::move(piece), last)) {
        failed_ = true;
        SetLastError(EIO);
    }
    return !failed_;
}

}  // namespace kv
