#include "platform/links.h"

#include <unistd.h>

#include <cerrno>
#include <functional>

namespace kv::platform {
namespace {

// Runs `make` once more after removing what stands at `path`, as a new output file replaces an old one.
bool ReplacingWhatIsThere(const std::string& path, const std::function<int()>& make) {
    if (make() == 0) return true;
    return errno == EEXIST && ::unlink(path.c_str()) == 0 && make() == 0;
}

}  // namespace

bool MakeSymbolicLink(const std::string& target, const std::string& path) {
    return ReplacingWhatIsThere(path, [&] { return ::symlink(target.c_str(), path.c_str()); });
}

bool MakeHardLink(const std::string& existing, const std::string& path) {
    return ReplacingWhatIsThere(path, [&] { return ::link(existing.c_str(), path.c_str()); });
}

}  // namespace kv::platform
