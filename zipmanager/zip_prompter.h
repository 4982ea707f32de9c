#pragma once

#include <cstdint>
#include <string>

#include "engine/core/enum_set.h"
#include "zipmanager/zip_enums.h"

namespace kv {

enum class TMsgIcon { Information, Warning, Error, Question };
enum class TMsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class TMsgAnswer { Ok, Cancel, Yes, No, Retry };

using TPasswordButtons = TEnumSet<TPasswordButton, std::uint8_t>;
// How a password prompt ended; only OK carries the entered text.
struct TPasswordAnswer {
    TPasswordButton Button = pwbCancel;
    std::string Text;
};

// Where the ZIP manager's message boxes and busy cursor go. The GUI installs one that shows real dialogs;
// without it the headless prompter answers at once, so the engine never waits for a user who is not there.
class TZipPrompter {
public:
    virtual ~TZipPrompter() = default;
    // `default_button` is the 0-based button that Enter would press.
    virtual TMsgAnswer MessageBox(const std::string& caption, const std::string& text, TMsgIcon icon,
                                  TMsgButtons buttons, int default_button) = 0;
    virtual void SetBusyCursor(bool busy) = 0;
    // Asks for a password (masked, at most 80 characters) offering `buttons`, in the order OK, Cancel,
    // Cancel all, Abort; closing the prompt any other way counts as Abort. Without a user interface
    // nobody can answer: Cancel with no text.
    virtual TPasswordAnswer PasswordPrompt(const std::string& title, const std::string& prompt,
                                           TPasswordButtons buttons);
};

// Shows nothing and takes the answer that changes nothing: OK for a plain notice, otherwise No or Cancel.
class THeadlessPrompter : public TZipPrompter {
public:
    TMsgAnswer MessageBox(const std::string& caption, const std::string& text, TMsgIcon icon, TMsgButtons buttons,
                          int default_button) override;
    void SetBusyCursor(bool) override {}

    // The one instance every ZIP manager starts with.
    static THeadlessPrompter& Instance();
};

}  // namespace kv
