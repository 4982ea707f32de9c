#pragma once

#include <cerrno>
#include <cstdint>

#include "engine/core/stream32.h"

namespace kv {

// A filter over a source stream: it reads from or writes to the source (kept, not owned; it must outlive
// the filter) and keeps a 64-bit running position of the source. A filter only moves forward: its
// position is the count of bytes it handed out or took in, and it cannot seek.
class TCustomStream : public TStream32 {
public:
    explicit TCustomStream(TStream32& source) : source_(source), source_position_(source.Position()) {}

    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        if (offset == 0 && origin == TSeekOrigin::soCurrent) return position_;
        SetLastError(ESPIPE);
        return -1;
    }
    std::int64_t Size() override { return -1; }

    TStream32& Source() { return source_; }
    // Where the source stands after what the filter read or wrote.
    std::int64_t SourcePosition() const { return source_position_; }

protected:
    // Reads up to count bytes from the source and reports the source's progress.
    std::int64_t ReadSource(void* buffer, std::int64_t count) {
        const std::int64_t got = source_.Read(buffer, count);
        if (got <= 0) return 0;
        source_position_ += got;
        ReportSourceProgress();
        return got;
    }

    // Writes all count bytes to the source unless it fails; reports the source's progress.
    std::int64_t WriteSource(const void* buffer, std::int64_t count) {
        const std::int64_t put = source_.WriteFull(buffer, count);
        source_position_ += put;
        if (put < count) SetLastError(source_.LastError());
        ReportSourceProgress();
        return put;
    }

    // Moves the source back over input that was read ahead but not used, so that it stands right after
    // the data the filter consumed.
    bool ReturnUnusedInput(std::int64_t unused) {
        if (unused <= 0) return true;
        if (source_.Seek(-unused, TSeekOrigin::soCurrent) < 0) return false;
        source_position_ -= unused;
        return true;
    }

    void AdvancePosition(std::int64_t count) { position_ += count; }
    // Starts counting again from the source's current position, for a filter that begins anew.
    void Rebase() {
        source_position_ = source_.Position();
        position_ = 0;
    }

private:
    void ReportSourceProgress() {
        if (source_.OnProgress) source_.OnProgress(source_position_);
    }

    TStream32& source_;
    std::int64_t source_position_;
    std::int64_t position_ = 0;
};

}  // namespace kv
