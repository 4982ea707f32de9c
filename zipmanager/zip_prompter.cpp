#include "zipmanager/zip_prompter.h"

namespace kv {

TPasswordAnswer TZipPrompter::PasswordPrompt(const std::string&, const std::string&, TPasswordButtons) {
    return {};
}

TMsgAnswer THeadlessPrompter::MessageBox(const std::string&, const std::string&, TMsgIcon, TMsgButtons buttons, int) {
    switch (buttons) {
        case TMsgButtons::Ok: return TMsgAnswer::Ok;
        case TMsgButtons::YesNo: return TMsgAnswer::No;
        case TMsgButtons::OkCancel:
        case TMsgButtons::YesNoCancel:
        case TMsgButtons::RetryCancel: return TMsgAnswer::Cancel;
    }
    return TMsgAnswer::Cancel;
}

THeadlessPrompter& THeadlessPrompter::Instance() {
    static THeadlessPrompter prompter;
    return prompter;
}

}  // namespace kv
