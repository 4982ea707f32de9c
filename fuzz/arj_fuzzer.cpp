// Tests arbitrary bytes with the ARJ reader. The first byte chooses the form: the bytes as they stand (the
// header walk against hostile ids, sizes and CRCs), or pieces wrapped into headers with right CRCs, so that
// the methods, garble and the refusals see hostile fields and data behind headers that pass their check.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/crc.h"
#include "engine/readers/un_arj.h"

namespace {

void Put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// A basic header from 34 bytes of fields (the first-header size forced to fit), a name and its data.
void AppendHeader(std::string& out, std::string fields, const std::string& name, const std::string& data) {
    fields[0] = 34;
    std::string header = fields + name + '\0' + '\0';
    out += "\x60\xEA";
    Put16(out, static_cast<unsigned>(header.size()));
    out += header;
    Put32(out, kv::Crc32Of(header.data(), header.size()));
    Put16(out, 0);
    out += data;
}

// Pieces: 34 bytes of fields, a name length byte and name, a data length word and data; the first piece
// is the main header.
std::string Wrapped(const std::uint8_t* data, std::size_t size) {
    std::string out;
    std::size_t at = 0;
    const auto take = [&](std::size_t count) {
        count = std::min(count, size - at);
        std::string part(reinterpret_cast<const char*>(data + at), count);
        at += count;
        return part;
    };
    while (at < size) {
        std::string fields = take(34);
        fields.resize(34, '\0');
        const std::string length = take(1);
        const std::string name = take(length.empty() ? 0 : static_cast<std::uint8_t>(length[0]) % 32);
        const std::string data_size = take(2);
        const std::size_t count = data_size.size() == 2 ? static_cast<std::uint8_t>(data_size[0]) |
                                                              static_cast<std::uint8_t>(data_size[1]) << 8
                                                        : 0;
        AppendHeader(out, fields, name, take(count));
    }
    out += std::string("\x60\xEA\0\0", 4);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string bytes = (data[0] & 1) != 0 ? Wrapped(data + 1, size - 1)
                                                 : std::string(reinterpret_cast<const char*>(data + 1), size - 1);
    const int fd = ::memfd_create("kv-arj-fuzz", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size())) {
        kv::TUnARJ reader;
        reader.OnGetPassword = [](kv::TObject*, const std::string&, std::string&, kv::TSeedKeyRecord&,
                                  kv::TSeedKeyRecord&, bool& try_again) { try_again = false; };
        reader.OnNextVolume = [](kv::TObject*, std::string&, int, bool, bool& cancel) { cancel = true; };
        reader.SetArchiveFile("/proc/self/fd/" + std::to_string(fd));
        reader.FileSpec = {"*.*"};
        reader.Password = "secret";
        reader.TestArchive();
    }
    ::close(fd);
    return 0;
}
