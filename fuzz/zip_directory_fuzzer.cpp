// Reads arbitrary bytes as a ZIP directory through the ZIP manager, then rewrites the archive comment, so
// both the directory walk and the in-place rewrite see hostile end records, counts, offsets and lengths.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "zipmanager/zip_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("kv-zip-directory-fuzz", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (::write(fd, data, size) != static_cast<ssize_t>(size)) {
        ::close(fd);
        return 0;
    }
    {
        kv::TZipManager manager;
        manager.SetUnattended(true);
        manager.SetDriveQuery([](const std::string&) { return kv::platform::DriveInfo{}; });
        manager.SetZipFileName("/proc/self/fd/" + std::to_string(fd));
        std::size_t total = 0;
        for (const auto& entry : manager.DirEntries()) total += entry.Name().size() + entry.Extra().size();
        if (!manager.ZipFileName().empty()) manager.SetArchiveComment(total % 2 ? "odd" : "");
    }
    ::close(fd);
    return 0;
}
