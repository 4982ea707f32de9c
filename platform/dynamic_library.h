#pragma once

#include <string>

namespace kv::platform {

// A run-time library loaded by the program (dlopen). Closing happens on Close or destruction.
class TDynamicLibrary {
public:
    TDynamicLibrary() = default;
    TDynamicLibrary(const TDynamicLibrary&) = delete;
    TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;
    ~TDynamicLibrary() { Close(); }

    // Loads `path` (a bare name leaves the search to the system); false with Error() set on failure.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const;
    // Where the system found the library (the path of the loaded file).
    std::string FullPath() const;
    const std::string& Error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

// The folder of the running program, with its trailing delimiter ("" when the system does not tell).
std::string ProgramDirectory();

}  // namespace kv::platform
