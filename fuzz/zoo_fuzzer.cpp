// ZOO under hostile input. An even first byte makes the rest an archive that the ZOO reader tests whole
// (directory walk, stored, LZW and LZH data, CRC-16); an odd one makes it an LZW stream for the decoder
// alone, chunked as the first byte says. Test mode writes nothing.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/codecs/memory_byte_io.h"
#include "engine/codecs/zoo_lzw.h"
#include "engine/readers/format_readers.h"
#include "fuzz/codec_input.h"

namespace {

void TestArchive(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("kv-zoo-fuzz", MFD_CLOEXEC);
    if (fd < 0) return;
    if (::write(fd, data, size) == static_cast<ssize_t>(size)) {
        std::unique_ptr<kv::TUnBase> reader = kv::CreateReader(kv::atZoo);
        reader->SetArchiveFile("/proc/self/fd/" + std::to_string(fd));
        reader->FileSpec = {"*.*"};
        reader->TestArchive();
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    if ((data[0] & 1) == 0) {
        TestArchive(data + 1, size - 1);
        return 0;
    }
    kv::TMemorySource source(std::span<const std::uint8_t>(data + 1, size - 1), kv::fuzz::ChunkSize(data[0]));
    kv::fuzz::TCountingSink sink;
    kv::UnZooLzw(source, sink);
    return 0;
}
