#pragma once

#include <exception>
#include <string>
#include <vector>

#include "zipmanager/zip_messages.h"

namespace kv {

// The ZIP manager's error: a message id, its text, and whether the text may be shown in a message box.
// Raised inside operations and reported at their outer level.
class EZipManager : public std::exception {
public:
    explicit EZipManager(int id, bool show_dialog = true);
    EZipManager(int id, const std::vector<TZipMessageArg>& args, bool show_dialog = true);
    // With a disk number or a file/drive name inserted into the text.
    EZipManager(int id, int disk, bool show_dialog = true);
    EZipManager(int id, const std::string& name, bool show_dialog = true);

    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
    bool ShowDialog = true;
    int MessageId = 0;
};

}  // namespace kv
