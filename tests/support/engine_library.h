#pragma once

#include <dlfcn.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "support/test_support.h"

namespace kv::test {

// Whether the zip engine libraries are built beside the tests' build folder.
inline bool HaveZipEngineLibraries() {
    return std::filesystem::exists(BinaryDir() / "libzipeng.so") && std::filesystem::exists(BinaryDir() / "libunzeng.so");
}

// One of the run-time libraries of the build folder, loaded for a test as the program loads it.
class EngineLibrary {
public:
    explicit EngineLibrary(const std::string& file_name)
        : handle_(::dlopen((BinaryDir() / file_name).c_str(), RTLD_NOW | RTLD_LOCAL), &Close) {
        if (!handle_) throw std::runtime_error(::dlerror());
    }
    template <typename Function>
    Function Entry(const char* name) const {
        auto* entry = ::dlsym(handle_.get(), name);
        if (!entry) throw std::runtime_error(std::string("missing entry point ") + name);
        return reinterpret_cast<Function>(entry);
    }

private:
    static void Close(void* handle) { ::dlclose(handle); }
    std::unique_ptr<void, void (*)(void*)> handle_;
};

}  // namespace kv::test
