#include "cli/scratch_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace kv::cli {

TScratchFolder::TScratchFolder() {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "kv-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!error && mkdtemp(buffer.data()) != nullptr) path_ = std::string(buffer.data()) + "/";
}

TScratchFolder::~TScratchFolder() {
    if (path_.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

}  // namespace kv::cli
