#include "engine/core/main_comment_stream.h"

namespace kv {

void TMainCommentStream::ReceiveComment(std::uint32_t end_signature, std::int64_t central_position,
                                        std::int64_t end_position, const std::uint8_t* comment,
                                        std::size_t comment_size) {
    end_signature_ = end_signature;
    central_position_ = central_position;
    end_position_ = end_position;
    Clear();
    // A comment is at most 65 535 bytes; should even that fail, LastErrorCode() tells the caller.
    if (comment != nullptr && comment_size > 0) WriteFull(comment, static_cast<std::int64_t>(comment_size));
    SetPosition(0);
}

}  // namespace kv
