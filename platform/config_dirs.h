#pragma once

#include <string>

namespace kv::platform {

// Where configuration lives, after the XDG base-directory rules; both without a trailing delimiter.
// The per-user folder: $XDG_CONFIG_HOME, else ~/.config.
std::string UserConfigDirectory();
// The machine-wide folder: the first entry of $XDG_CONFIG_DIRS, else /etc/xdg.
std::string MachineConfigDirectory();

// The full path of the running program file.
std::string RunningProgramFile();

}  // namespace kv::platform
