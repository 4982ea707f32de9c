// Lists arbitrary bytes as each archive type in turn: the first byte picks the type the walk is forced
// to, whatever detection says, so every format's header walk sees hostile input.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/readers/arc_lister.h"

namespace {

constexpr kv::TArcType kListedTypes[] = {
    kv::atZip, kv::atZipExe, kv::atZipMV, kv::atJar, kv::atTar, kv::atGZip, kv::atMsGZ, kv::atBz2, kv::atUUE,
    kv::atB64, kv::atLha, kv::atArj, kv::atArc, kv::atPak, kv::atZoo, kv::atBh, kv::atHA, kv::atCab, kv::atRar,
    kv::atAce, kv::atXz, kv::atZstd,
};

class ForcedLister : public kv::TArcLister {
public:
    void Force(kv::TArcType type) {
        kv::TArcDetection& state = MutableDetection();
        if (state.ArcType != type) {
            state.ArcType = type;
            state.ArcStartOffset = 0;
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const kv::TArcType type = kListedTypes[data[0] % std::size(kListedTypes)];
    const int fd = ::memfd_create("kv-list-fuzz", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (::write(fd, data + 1, size - 1) != static_cast<ssize_t>(size - 1)) {
        ::close(fd);
        return 0;
    }
    {
        ForcedLister lister;
        lister.ShowEmptyDirs = true;
        lister.FileSpec = {"*.*"};
        lister.OnRead = [](kv::TObject*, int, int) {};
        lister.OnCorruptZipHeader = [](kv::TObject*, kv::THeaderTypeState, bool& cancel) { cancel = false; };
        lister.OnNextVolume = [](kv::TObject*, std::string&, int, bool, bool& cancel) { cancel = true; };
        lister.SetArchiveFile("/proc/self/fd/" + std::to_string(fd));
        lister.Force(type);
        lister.Activate();
    }
    ::close(fd);
    return 0;
}
