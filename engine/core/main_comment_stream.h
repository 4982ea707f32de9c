#pragma once

#include <cstdint>

#include "engine/core/arc_detect.h"
#include "engine/core/memory_stream.h"

namespace kv {

// Receives the ZIP archive comment during detection, with the records around it. The stream's content is
// the comment bytes, positioned at their start.
class TMainCommentStream : public TMemoryStream32, public TArchiveCommentSink {
public:
    void ReceiveComment(std::uint32_t end_signature, std::int64_t central_position, std::int64_t end_position,
                        const std::uint8_t* comment, std::size_t comment_size) override;

    std::uint32_t EndSignature() const { return end_signature_; }
    std::int64_t CentralDirPosition() const { return central_position_; }
    std::int64_t EndRecordPosition() const { return end_position_; }

private:
    std::uint32_t end_signature_ = 0;
    std::int64_t central_position_ = -1;
    std::int64_t end_position_ = -1;
};

}  // namespace kv
