// Tests arbitrary bytes as an archive with the reader of the type detection finds (ZIP, JAR, TAR, GZIP,
// compress, BZIP2): the header walks, the ZIP data-descriptor search, the classic cipher and every decoder
// see hostile sizes, offsets and data. Test mode writes nothing.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/readers/format_readers.h"
#include "support/reader_run.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("kv-unzip-fuzz", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (::write(fd, data, size) == static_cast<ssize_t>(size)) {
        const std::string path = "/proc/self/fd/" + std::to_string(fd);
        const kv::TArcType type = kv::test::DetectType(path);
        if (std::unique_ptr<kv::TUnBase> reader = kv::CreateReader(type)) {
            reader->OnGetPassword = [](kv::TObject*, const std::string&, std::string&, kv::TSeedKeyRecord&,
                                       kv::TSeedKeyRecord&, bool& try_again) { try_again = false; };
            reader->OnNextVolume = [](kv::TObject*, std::string&, int, bool, bool& cancel) { cancel = true; };
            reader->SetArchiveFile(path);
            reader->FileSpec = {"*.*"};
            reader->Password = "secret";
            reader->TestArchive();
        }
    }
    ::close(fd);
    return 0;
}
