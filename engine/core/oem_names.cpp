#include "engine/core/oem_names.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/paths.h"

namespace kv {
namespace {

constexpr char kUtf8[] = "UTF-8";
constexpr char kStoredDelim = '/';
constexpr char kDocumentedDelim = '\\';

std::mutex gCodePageMutex;
std::string gOemCodePage = "CP437";

struct IconvCloser {
    void operator()(void* cd) const { ::iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const std::string& to, const std::string& from) {
    const iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return IconvHandle(cd);
}

// Handles are kept per thread: an iconv state must not be shared between threads converting at once.
iconv_t CachedIconv(const std::string& to, const std::string& from) {
    thread_local std::map<std::pair<std::string, std::string>, IconvHandle> cache;
    auto key = std::make_pair(to, from);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(std::move(key), OpenIconv(to, from)).first;
    return static_cast<iconv_t>(it->second.get());
}

// Length of the UTF-8 sequence a lead byte starts (1 for a stray byte, so it is skipped alone).
std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

void AppendEscaped(std::string& output, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    output += '%';
    output += kHex[byte >> 4];
    output += kHex[byte & 0x0F];
}

enum class Direction { kDecode, kEncode };

// Converts all of `input`; what the code page cannot convert is replaced as the direction says.
std::string Convert(iconv_t cd, std::string_view input, Direction direction) {
    std::string output;
    output.reserve(input.size() * 2 + 8);
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state for every name

    char* in = const_cast<char*>(input.data());  // iconv's signature; it does not write the input
    std::size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = ::iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<std::size_t>(out - buffer));
        if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // EILSEQ or EINVAL (a sequence cut short at the end): replace and step over it.
        const auto lead = static_cast<unsigned char>(*in);
        std::size_t skip = 1;
        if (direction == Direction::kDecode) {
            AppendEscaped(output, lead);
        } else {
            output += '_';
            // A valid character the code page lacks is skipped whole; broken UTF-8 byte by byte.
            const std::size_t length = Utf8SequenceLength(lead);
            if (length > 1 && length <= inLeft &&
                std::all_of(in + 1, in + length, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }))
                skip = length;
        }
        in += skip;
        inLeft -= skip;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    ::iconv(cd, nullptr, nullptr, &out, &outLeft);  // flush a pending shift sequence
    output.append(buffer, static_cast<std::size_t>(out - buffer));
    return output;
}

std::string Converted(std::string_view input, Direction direction, const std::string& oem) {
    // OEM code pages agree with ASCII, and most names are plain ASCII: skip iconv for them.
    if (std::all_of(input.begin(), input.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(input);
    const iconv_t cd = direction == Direction::kDecode ? CachedIconv(kUtf8, oem) : CachedIconv(oem, kUtf8);
    // A code page iconv does not know leaves the text as it is.
    if (cd == nullptr) return std::string(input);
    return Convert(cd, input, direction);
}

// The length of the well-formed UTF-8 sequence at `at`, or 0 when the bytes there are not one.
std::size_t ValidSequenceAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) ||
        (length == 4 && (code < 0x10000 || code > 0x10FFFF))) {
        return 0;
    }
    return length;
}

// UTF-8 as it is, every byte outside a well-formed sequence escaped.
std::string Utf8WithEscapes(std::string_view text) {
    std::string output;
    output.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = ValidSequenceAt(text, at);
        if (length == 0) {
            AppendEscaped(output, static_cast<unsigned char>(text[at]));
            ++at;
        } else {
            output.append(text.substr(at, length));
            at += length;
        }
    }
    return output;
}

std::string ReplaceDelimiters(std::string_view name, char delimiter) {
    std::string result(name);
    for (char& c : result) {
        if (c == kStoredDelim || c == kDocumentedDelim || c == platform::kPathDelim) c = delimiter;
    }
    return result;
}

}  // namespace

std::string IconvCodePageName(std::string_view codePage) {
    std::string name(codePage);
    if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        name = "CP" + name;
    return name;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = ValidSequenceAt(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

bool IsKnownCodePage(std::string_view codePage) {
    const std::string name = IconvCodePageName(codePage);
    return !name.empty() && CachedIconv(kUtf8, name) != nullptr && CachedIconv(name, kUtf8) != nullptr;
}

bool SetOemCodePage(std::string_view codePage) {
    if (!IsKnownCodePage(codePage)) return false;
    const std::lock_guard lock(gCodePageMutex);
    gOemCodePage = IconvCodePageName(codePage);
    return true;
}

std::string OemCodePage() {
    const std::lock_guard lock(gCodePageMutex);
    return gOemCodePage;
}

std::string OemToUtf8(std::string_view oem) { return Converted(oem, Direction::kDecode, OemCodePage()); }

std::string Utf8ToOem(std::string_view utf8) { return Converted(utf8, Direction::kEncode, OemCodePage()); }

std::string OemToUtf8(std::string_view oem, std::string_view codePage) {
    return Converted(oem, Direction::kDecode, IconvCodePageName(codePage));
}

std::string Utf8ToOem(std::string_view utf8, std::string_view codePage) {
    return Converted(utf8, Direction::kEncode, IconvCodePageName(codePage));
}

std::string DecodeStoredName(std::string_view stored, TNameOrigin origin, std::string_view chosenCodePage,
                             std::string_view oemCodePage) {
    if (origin == TNameOrigin::noUnicode) return Utf8WithEscapes(stored);
    if (!chosenCodePage.empty()) return OemToUtf8(stored, chosenCodePage);
    if (origin == TNameOrigin::noOther && IsValidUtf8(stored)) return std::string(stored);
    return oemCodePage.empty() ? OemToUtf8(stored) : OemToUtf8(stored, oemCodePage);
}

std::string ConvertStoredName(std::string_view stored, bool translateOem, TNameOrigin origin,
                              std::string_view chosenCodePage) {
    // Decode first: in a double-byte code page the second byte of a character may equal "\".
    if (translateOem) return ReplaceDelimiters(DecodeStoredName(stored, origin, chosenCodePage), platform::kPathDelim);
    return ReplaceDelimiters(stored, platform::kPathDelim);
}

std::string ConvertNameForStore(std::string_view name, bool translateOem, bool storeAsUtf8) {
    std::string stored = ReplaceDelimiters(name, kStoredDelim);
    if (translateOem && !storeAsUtf8) stored = Utf8ToOem(stored);
    return stored;
}

}  // namespace kv
