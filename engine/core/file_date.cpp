#include "engine/core/file_date.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "engine/core/dates.h"

namespace kv {

std::uint32_t FileCreationDosDateTime(int handle) {
    struct statx info {};
    if (handle < 0 || ::statx(handle, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &info) != 0) return kMinDosDateTime;
    const bool has_birth = (info.stx_mask & STATX_BTIME) != 0 && info.stx_btime.tv_sec != 0;
    return FileTimeToDosDateTime(has_birth ? info.stx_btime.tv_sec : info.stx_mtime.tv_sec);
}

}  // namespace kv
