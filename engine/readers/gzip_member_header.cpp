#include "engine/readers/gzip_member_header.h"

#include <zlib.h>

#include <algorithm>
#include <array>

namespace kv {
namespace {

constexpr std::size_t kFixedSize = 10;
constexpr std::size_t kMaxKeptName = 1024;  // longer names are cut; the rest is still read past

// Reads header bytes and keeps their CRC-32 for the header check.
class THeaderBytes {
public:
    explicit THeaderBytes(TByteSource& source) : source_(source) {}
    bool Read(std::uint8_t* buffer, std::size_t size) {
        for (std::size_t done = 0; done < size;) {
            const std::size_t got = source_.Read(buffer + done, size - done);
            if (got == 0) return false;
            done += got;
        }
        crc_ = crc32(crc_, buffer, static_cast<uInt>(size));
        return true;
    }
    // A zero-terminated field; its first kMaxKeptName bytes go to `text` when given.
    bool ReadText(std::string* text) {
        for (std::uint8_t byte = 0;;) {
            if (!Read(&byte, 1)) return false;
            if (byte == 0) return true;
            if (text != nullptr && text->size() < kMaxKeptName) text->push_back(static_cast<char>(byte));
        }
    }
    bool Skip(std::size_t size) {
        std::array<std::uint8_t, 4096> scratch{};
        for (std::size_t step = 0; size > 0; size -= step) {
            step = std::min(size, scratch.size());
            if (!Read(scratch.data(), step)) return false;
        }
        return true;
    }
    std::uint32_t Crc() const { return static_cast<std::uint32_t>(crc_); }

private:
    TByteSource& source_;
    uLong crc_ = crc32(0, nullptr, 0);
};

}  // namespace

TGzipHeaderRead ReadGzipMemberHeader(TByteSource& source, TGzipMemberHeader& header) {
    header = {};
    THeaderBytes bytes(source);
    std::array<std::uint8_t, kFixedSize> fixed{};
    // Byte by byte: a single byte of padding behind the last member is not a cut-off header.
    if (!bytes.Read(fixed.data(), 1)) return TGzipHeaderRead::ghTruncated;
    if (fixed[0] != 0x1F) return TGzipHeaderRead::ghNotGzip;
    if (!bytes.Read(fixed.data() + 1, 1)) return TGzipHeaderRead::ghTruncated;
    if (fixed[1] != 0x8B && fixed[1] != 0x9E) return TGzipHeaderRead::ghNotGzip;
    if (!bytes.Read(fixed.data() + 2, kFixedSize - 2)) return TGzipHeaderRead::ghTruncated;
    header.Magic = fixed[1];
    header.Method = fixed[2];
    header.Flags = fixed[3];
    header.UnixTime = fixed[4] | fixed[5] << 8 | fixed[6] << 16 | static_cast<std::uint32_t>(fixed[7]) << 24;

    if ((header.Flags & TGzipMemberHeader::kFlagExtra) != 0) {
        std::array<std::uint8_t, 2> length{};
        if (!bytes.Read(length.data(), 2) || !bytes.Skip(length[0] | length[1] << 8)) return TGzipHeaderRead::ghTruncated;
    }
    if ((header.Flags & TGzipMemberHeader::kFlagName) != 0 && !bytes.ReadText(&header.StoredName))
        return TGzipHeaderRead::ghTruncated;
    if ((header.Flags & TGzipMemberHeader::kFlagComment) != 0 && !bytes.ReadText(nullptr))
        return TGzipHeaderRead::ghTruncated;
    if ((header.Flags & TGzipMemberHeader::kFlagHeaderCrc) != 0) {
        const std::uint32_t computed = bytes.Crc() & 0xFFFF;
        std::array<std::uint8_t, 2> stored{};
        if (!bytes.Read(stored.data(), 2)) return TGzipHeaderRead::ghTruncated;
        header.HeaderCrcOk = computed == static_cast<std::uint32_t>(stored[0] | stored[1] << 8);
    }
    return TGzipHeaderRead::ghOk;
}

}  // namespace kv
