#include "zipmanager/sfx_builder.h"

namespace kv {

void TSfxBuilder::SetMessage(const std::string& text) {
    constexpr std::uint32_t kOkCancelInformation = 65;
    constexpr std::uint32_t kYesNoQuestion = 36;
    message_ = text;
    message_style_ = 0;
    if (!message_.empty() && (message_[0] == '\x01' || message_[0] == '\x02')) {
        message_style_ = message_[0] == '\x01' ? kOkCancelInformation : kYesNoQuestion;
        message_.erase(0, 1);
    }
}

}  // namespace kv
