// Runs one job through libunzeng.so's entry points, as the ZIP manager does: `unzeng_bench x ARCHIVE DIR`
// extracts every entry with its folders into DIR (replacing what is there), `unzeng_bench t ARCHIVE` tests.
// The library is loaded from the build folder, beside this program's folder. Exit status 0 when the job
// counted every file of the archive as done.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "outside/zip_engine_records.h"

namespace {

std::int32_t files = 0;

std::int32_t Callback(ZipCallbackRecord* record) {
    if (record->ActionCode == zrFileCount) files = record->Arg2;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!((mode == "x" && argc == 4) || (mode == "t" && argc == 3))) {
        std::fprintf(stderr, "usage: unzeng_bench x ARCHIVE DIR | t ARCHIVE\n");
        return 2;
    }
    const auto library_path = std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "libunzeng.so";
    void* library = ::dlopen(library_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 2;
    }
    auto exec = reinterpret_cast<UnzEngExecFn>(::dlsym(library, "UnzEngExec"));
    auto version = reinterpret_cast<ZipEngVersionFn>(::dlsym(library, "GetUnzEngVersion"));
    if (exec == nullptr || version == nullptr) return 2;

    UnzipCommand command{};
    command.Version = version();
    command.Callback = &Callback;
    command.Password = "";
    command.Quiet = -1;
    command.Test = mode == "t" ? -1 : 0;
    command.DirNames = -1;
    command.OverWrite = -1;
    command.ZipFileName = argv[2];
    command.ExtractDir = mode == "x" ? argv[3] : nullptr;
    command.Check = kZipEngRecordCheck;
    const std::int32_t result = exec(&command);
    ::dlclose(library);
    if (result != files) std::fprintf(stderr, "unzeng_bench: %d of %d files\n", result, files);
    return result == files ? 0 : 1;
}
