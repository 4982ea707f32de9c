#include "engine/core/text_case.h"

#include <locale.h>
#include <wctype.h>

namespace kv {
namespace {

constexpr char32_t kRawByteBase = 0xDC00;

// The process locale may be plain "C"; case mapping must not depend on it. The locale is freed when the
// program ends or the run-time library holding this code is unloaded (the engine libraries are loaded per job).
locale_t CaseLocale() {
    struct TOwnedLocale {
        locale_t Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        ~TOwnedLocale() {
            if (Locale != static_cast<locale_t>(nullptr)) freelocale(Locale);
        }
    };
    static const TOwnedLocale owned;
    return owned.Locale;
}

// Decodes one character at `pos` and advances past it.
char32_t NextChar(std::string_view s, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 1) {
        ++pos;
        return lead;
    }
    if (length == 0 || pos + length > s.size()) {
        ++pos;
        return kRawByteBase + lead;
    }
    char32_t c = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(s[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return kRawByteBase + lead;
        }
        c = (c << 6) | (next & 0x3F);
    }
    static constexpr char32_t kMinForLength[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMinForLength[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {  // overlong or no character
        ++pos;
        return kRawByteBase + lead;
    }
    pos += length;
    return c;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c >= kRawByteBase + 0x80 && c <= kRawByteBase + 0xFF) {
        out += static_cast<char>(c - kRawByteBase);
    } else if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

char32_t UpperChar(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
    if (c >= kRawByteBase && c <= kRawByteBase + 0xFF) return c;
    const locale_t locale = CaseLocale();
    if (locale == static_cast<locale_t>(nullptr)) return c;
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale));
}

std::u32string UpperCodePoints(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) out += UpperChar(NextChar(utf8, pos));
    return out;
}

std::string UpperCaseText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char32_t c : UpperCodePoints(utf8)) AppendUtf8(out, c);
    return out;
}

bool SameText(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }

bool EndsWithText(std::string_view name, std::string_view ending) {
    return name.size() >= ending.size() && SameText(name.substr(name.size() - ending.size()), ending);
}

int CompareText(std::string_view a, std::string_view b) {
    std::size_t pa = 0;
    std::size_t pb = 0;
    while (pa < a.size() && pb < b.size()) {
        const char32_t ca = UpperChar(NextChar(a, pa));
        const char32_t cb = UpperChar(NextChar(b, pb));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (pa < a.size()) return 1;
    if (pb < b.size()) return -1;
    return 0;
}

}  // namespace kv
