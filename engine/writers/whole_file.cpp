#include "engine/writers/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/sym_link.h"

namespace kv {

TReadResult ReadWholeFile(const std::string& path, std::int64_t expected, TBufferEncoder& encoder) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {0, errno};
    TReadResult result;
    const auto size = static_cast<std::size_t>(expected);
    std::uint8_t* data = encoder.Scratch(encoder.InputBuffer(), size);
    while (result.Size < size) {
        const ssize_t got = ::read(fd, data + result.Size, size - result.Size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) result.Error = errno;
        if (got <= 0) break;
        result.Size += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return result;
}

TReadResult ReadLinkTarget(const std::string& path, TBufferEncoder& encoder) {
    const std::optional<std::string> target = platform::ReadSymLink(path);
    if (!target) return {0, errno != 0 ? errno : EINVAL};
    std::memcpy(encoder.Scratch(encoder.InputBuffer(), target->size()), target->data(), target->size());
    return {target->size(), 0};
}

}  // namespace kv
