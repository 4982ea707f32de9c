#include "zipmanager/ezip_manager.h"

namespace kv {
namespace {

// The formatted text, or for an id no table knows, one that still names the id and the value.
std::string Compose(int id, const std::vector<TZipMessageArg>& args, const std::string& detail) {
    const std::string text = ZipMessageText(id);
    if (!text.empty()) return FormatZipMessage(text, args);
    return "id = " + std::to_string(id) + detail + MissingZipMessageText(id);
}

}  // namespace

EZipManager::EZipManager(int id, bool show_dialog)
    : Message(Compose(id, {}, " ")), ShowDialog(show_dialog), MessageId(id) {}

EZipManager::EZipManager(int id, const std::vector<TZipMessageArg>& args, bool show_dialog)
    : Message(Compose(id, args, " ")), ShowDialog(show_dialog), MessageId(id) {}

EZipManager::EZipManager(int id, int disk, bool show_dialog)
    : Message(Compose(id, {std::int64_t{disk}}, " [disk = " + std::to_string(disk) + "]")),
      ShowDialog(show_dialog),
      MessageId(id) {}

EZipManager::EZipManager(int id, const std::string& name, bool show_dialog)
    : Message(Compose(id, {name}, " [drive = " + name + "]")), ShowDialog(show_dialog), MessageId(id) {}

}  // namespace kv
