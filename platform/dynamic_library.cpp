#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>

#include "platform/paths.h"

namespace kv::platform {

bool TDynamicLibrary::Open(const std::string& path) {
    Close();
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* text = ::dlerror();
        error_ = text ? text : "dlopen failed";
        return false;
    }
    error_.clear();
    return true;
}

void TDynamicLibrary::Close() {
    if (handle_ != nullptr) ::dlclose(handle_);
    handle_ = nullptr;
}

void* TDynamicLibrary::Symbol(const char* name) const { return handle_ ? ::dlsym(handle_, name) : nullptr; }

std::string TDynamicLibrary::FullPath() const {
    link_map* map = nullptr;
    if (handle_ == nullptr || ::dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr)
        return {};
    return map->l_name;
}

std::string ProgramDirectory() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return IncludeTrailingDelimiter(program.parent_path().string());
}

}  // namespace kv::platform
