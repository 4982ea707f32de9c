// Lists arbitrary bytes as each archive type in turn: the first byte picks the type the walk is forced
// to, whatever detection says, so every format's header walk sees hostile input.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/formats.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/format_readers.h"

namespace {

// Every type some walk lists.
std::vector<kv::TArcType> ListedTypes() {
    std::vector<kv::TArcType> types;
    for (const kv::TFormat& format : kv::Formats())
        if (kv::ReadingOf(format.Type).Walk) types.push_back(format.Type);
    return types;
}

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
    static const std::vector<kv::TArcType> listed = ListedTypes();
    const kv::TArcType type = listed[data[0] % listed.size()];
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
