#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kv::cli {

struct AddOptions {
    std::string archive;
    std::vector<std::string> files;
    std::string type;  // "zip" or "jar"; empty: from the extension
    int level = 6;
    std::string password;
    std::string encrypt;  // "zipcrypto" or "aes256"; empty: zipcrypto
    bool recurse = false;
    bool follow_links = false;
    bool move = false;
    bool freshen = false;
    bool update = false;
    std::vector<std::string> exclude;
};

// `kv a ARCHIVE FILE...`: adds files to an archive, making it when it does not exist. Exit status 0 when
// no error was reported, 1 otherwise, 2 when the archive's type cannot be written or the options do not fit.
CLI::App* AddAddCommand(CLI::App& app, AddOptions& options);
int RunAddCommand(const AddOptions& options);
// Spells the archivers' "-mx N" (also "-mxN", "-mx=N") as "--mx N" for the parser, whose short options
// have one letter; "--" ends the switches.
void SpellLevelSwitch(std::vector<std::string>& args);

}  // namespace kv::cli
