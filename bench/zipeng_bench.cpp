// Runs one add job through libzipeng.so, as the program would: zipeng_bench a ARCHIVE DIR [threads [level]].
// The library is loaded from the build folder (the parent of this program's folder).
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "outside/zip_engine_records.h"

int main(int argc, char** argv) {
    if (argc < 4 || std::string(argv[1]) != "a") {
        std::fprintf(stderr, "usage: zipeng_bench a ARCHIVE DIR [threads [level]]\n");
        return 2;
    }
    const auto library = std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "libzipeng.so";
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 1;
    }
    const auto exec = reinterpret_cast<ZipEngExecFn>(::dlsym(handle, "ZipEngExec"));
    const std::string root = std::filesystem::absolute(argv[3]).string();
    ZipSpecEntry pattern{};
    pattern.FileSpec = "*";
    pattern.Recurse = 0xFFFF;
    ZipCommand command{};
    command.Version = kZipEngVersion;
    command.Version2 = kZipEngVersion;
    command.Check = kZipEngRecordCheck;
    command.Quiet = -1;
    command.Level = argc > 5 ? std::atoi(argv[5]) : 6;
    command.Threads = argc > 4 ? std::atoi(argv[4]) : 0;
    command.Recurse = 0xFFFF;
    command.HiddenFiles = -1;  // as zip -r takes them
    command.ZipFileName = argv[2];
    command.RootDir = root.c_str();
    command.Specs = &pattern;
    command.SpecCount = 1;
    const int result = exec(&command);
    ::dlclose(handle);
    if (result <= 0) {
        std::fprintf(stderr, "job result %d\n", result);
        return 1;
    }
    return 0;
}
