#include "engine/core/content_rules.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kv {
namespace {

constexpr std::size_t kTarChecksumAt = 148;
constexpr std::size_t kTarChecksumSize = 8;
constexpr std::size_t kTarTypeFlagAt = 156;

bool StartsWith(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view prefix, bool any_case) {
    if (at > bytes.size() || bytes.size() - at < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[at + i]);
        const auto p = static_cast<unsigned char>(prefix[i]);
        if (any_case ? std::tolower(c) != std::tolower(p) : c != p) return false;
    }
    return true;
}

}  // namespace

bool TarChecksumMatches(std::span<const std::uint8_t, kTarBlockSize> block) {
    // Old writers pad the field with blanks or zero bytes in varying places: skip anything not octal.
    std::uint32_t stored = 0;
    for (std::size_t i = kTarChecksumAt; i < kTarChecksumAt + kTarChecksumSize; ++i) {
        if (block[i] >= '0' && block[i] <= '7') stored = stored * 8 + (block[i] - '0');
    }
    std::uint32_t computed = 0;
    for (std::size_t i = 0; i < kTarBlockSize; ++i) {
        const bool in_field = i >= kTarChecksumAt && i < kTarChecksumAt + kTarChecksumSize;
        computed += in_field ? ' ' : block[i];
    }
    return stored == computed;
}

bool IsTarVolumeLabel(std::span<const std::uint8_t, kTarBlockSize> block) { return block[kTarTypeFlagAt] == 'V'; }

bool IsBzip2Header(std::span<const std::uint8_t> head) {
    constexpr std::uint8_t kBlockMagic[] = {0x31, 0x41, 0x59, 0x26, 0x53, 0x59};
    return StartsWith(head, 0, "BZh", false) && head.size() >= 10 &&
           std::equal(std::begin(kBlockMagic), std::end(kBlockMagic), head.begin() + 4);
}

bool HasAceMarker(std::span<const std::uint8_t> head) { return StartsWith(head, 7, "**ACE**", true); }

TArcType ClassifyEncodedText(std::span<const std::uint8_t> head) {
    for (std::size_t line = 0; line + 2 < head.size();) {
        if (StartsWith(head, line, "Content-Transfer-Encoding: Base64", true)) return atB64;
        if (StartsWith(head, line, "begin 6", false) || StartsWith(head, line, "begin 7", false)) return atUUE;
        const auto next = std::find(head.begin() + static_cast<std::ptrdiff_t>(line), head.end(), '\n');
        if (next == head.end()) break;
        line = static_cast<std::size_t>(next - head.begin()) + 1;
    }
    return atNA;
}

}  // namespace kv
