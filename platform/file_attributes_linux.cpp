#include "platform/file_attributes_linux.h"

#include <sys/stat.h>

namespace kv::platform {

std::uint32_t DosAttributes(std::string_view name, mode_t mode) {
    std::uint32_t bits = 0;
    if (!name.empty() && name.front() == '.') bits |= kFaHidden;
    if (S_ISDIR(mode)) return bits | kFaDirectory;
    bits |= kFaArchive;
    if ((mode & S_IWUSR) == 0) bits |= kFaReadOnly;
    return bits;
}

}  // namespace kv::platform
