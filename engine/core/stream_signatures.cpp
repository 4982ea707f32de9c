#include "engine/core/stream_signatures.h"

#include <algorithm>
#include <array>
#include <bit>

#include "engine/core/text_case.h"

namespace kv {
namespace {

constexpr std::array<std::uint8_t, 6> kXzMagic{0xFD, '7', 'z', 'X', 'Z', 0x00};
constexpr std::uint32_t kZstdMagic = 0xFD2FB528;
// Skippable frames use 16 magic numbers, 0x184D2A50 to 0x184D2A5F.
constexpr std::uint32_t kSkippableMagic = 0x184D2A50;
constexpr std::uint32_t kSkippableMask = 0xFFFFFFF0;
constexpr std::size_t kLzmaHeaderSize = 13;
constexpr std::uint32_t kLzmaMaxDictionary = std::uint32_t{1} << 30;  // what xz itself accepts at most
constexpr std::uint64_t kLzmaUnknownSize = ~std::uint64_t{0};
constexpr std::uint64_t kLzmaLargestSize = std::uint64_t{1} << 38;  // 256 GiB, well beyond any real file

std::uint64_t LoadLE(std::span<const std::uint8_t> bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) value = value << 8 | bytes[i];
    return value;
}

// A dictionary size the LZMA tools write: 2^n or 2^n + 2^(n-1), as xz insists on for .lzma files.
bool IsToolDictionarySize(std::uint32_t size) {
    if (size == 0 || size > kLzmaMaxDictionary) return false;
    const std::uint32_t top = std::uint32_t{1} << (31 - std::countl_zero(size));
    return size == top || size == top + top / 2;
}

// The 13-byte header of an LZMA "alone" file: properties lc+lp*9+pb*45 with lc <= 8, lp <= 4, pb <= 4, a
// dictionary size the tools write, and an uncompressed size that is unknown or plausible.
bool IsLzmaAloneHeader(std::span<const std::uint8_t> head) {
    if (head.size() < kLzmaHeaderSize || head[0] >= 9 * 5 * 5) return false;
    const auto dictionary = static_cast<std::uint32_t>(LoadLE(head.subspan(1, 4)));
    const std::uint64_t size = LoadLE(head.subspan(5, 8));
    return IsToolDictionarySize(dictionary) && (size == kLzmaUnknownSize || size < kLzmaLargestSize);
}

}  // namespace

TArcType ClassifyCompressedStream(std::span<const std::uint8_t> head, std::string_view file_name) {
    if (head.size() >= kXzMagic.size() && std::equal(kXzMagic.begin(), kXzMagic.end(), head.begin())) return atXz;
    if (head.size() >= 4) {
        const auto magic = static_cast<std::uint32_t>(LoadLE(head.first(4)));
        if (magic == kZstdMagic || (magic & kSkippableMask) == kSkippableMagic) return atZstd;
    }
    if (EndsWithText(file_name, ".lzma") && IsLzmaAloneHeader(head)) return atXz;
    return atNA;
}

}  // namespace kv
