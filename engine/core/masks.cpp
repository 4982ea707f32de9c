#include "engine/core/masks.h"

#include "engine/core/text_case.h"

namespace kv {
namespace {

// One step of a mask when comparing masks with each other.
enum class TToken : std::uint8_t { tkStar, tkAnyChar, tkLiteral };
struct TMaskToken {
    TToken Kind;
    char32_t Literal;
};

std::vector<TMaskToken> Tokens(const std::vector<TInternalMask::TMaskElement>& elements) {
    std::vector<TMaskToken> tokens;
    for (const auto& e : elements) {
        if (e.Star) tokens.push_back({TToken::tkStar, 0});
        if (e.Kind == TInternalMask::TElementKind::ekAnyChar) tokens.push_back({TToken::tkAnyChar, 0});
        if (e.Kind == TInternalMask::TElementKind::ekLiteral) tokens.push_back({TToken::tkLiteral, e.Literal});
    }
    return tokens;
}

// Beyond this many table cells two masks are treated as unrelated (they are typed by users and short).
constexpr std::size_t kMaxCoverCells = 1u << 20;

}  // namespace

TInternalMask::TInternalMask(std::string_view mask) {
    const std::u32string chars = UpperCodePoints(mask);
    bool star_pending = false;
    for (char32_t c : chars) {
        if (c == U'*') {
            star_pending = true;
        } else if (c == U'?') {
            if (!star_pending) elements_.push_back({TElementKind::ekAnyChar, false, 0});
        } else {
            elements_.push_back({TElementKind::ekLiteral, star_pending, c});
            star_pending = false;
        }
    }
    elements_.push_back({TElementKind::ekEnd, star_pending, 0});
    ends_with_dot_ = !chars.empty() && chars.back() == U'.';
    // "*.*" is how users say "every file"; taken literally it would pass over README and Makefile.
    const std::vector<TMaskElement> star_dot_star{{TElementKind::ekLiteral, true, U'.'}, {TElementKind::ekEnd, true, 0}};
    if (elements_ == star_dot_star) elements_ = {{TElementKind::ekEnd, true, 0}};
}

bool TInternalMask::MatchesEverything() const { return elements_.size() == 1 && elements_.front().Star; }

bool TInternalMask::Matches(std::string_view name) const {
    std::u32string chars = UpperCodePoints(name);
    if (ends_with_dot_ && chars.find(U'.') == std::u32string::npos) chars += U'.';
    return MatchesCodePoints(chars);
}

// Shortest skip first; on a failure only the latest star needs to take one more character: whatever an
// earlier star could still absorb, the latest one absorbs as well. That keeps the work at
// name length × mask length whatever the mask.
bool TInternalMask::MatchesCodePoints(const std::u32string& name) const {
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t ni = 0;
    std::size_t ei = 0;
    std::size_t star_element = kNone;
    std::size_t star_name_pos = 0;
    for (;;) {
        const TMaskElement& e = elements_[ei];
        if (e.Star) {
            if (e.Kind == TElementKind::ekEnd) return true;
            star_element = ei;
            star_name_pos = ni;
        }
        bool advanced = false;
        if (e.Kind == TElementKind::ekEnd) {
            if (ni == name.size()) return true;
        } else if (ni < name.size() && (e.Kind == TElementKind::ekAnyChar || e.Literal == name[ni])) {
            advanced = true;
        }
        if (advanced) {
            ++ni;
            ++ei;
            continue;
        }
        if (star_element == kNone || star_name_pos >= name.size()) return false;
        ni = star_name_pos + 1;
        ei = star_element;
    }
}

bool TInternalMask::Covers(const TInternalMask& specific) const {
    // The "no extension" rule makes a mask ending with "." match two kinds of names; only the same
    // mask is known to cover such a mask.
    if (ends_with_dot_ || specific.ends_with_dot_) return elements_ == specific.elements_;

    const std::vector<TMaskToken> g = Tokens(elements_);
    const std::vector<TMaskToken> s = Tokens(specific.elements_);
    const std::size_t width = s.size() + 1;
    if ((g.size() + 1) * width > kMaxCoverCells) return false;
    // covers[i * width + j]: the tokens of this mask from i cover those of `specific` from j.
    std::vector<char> covers((g.size() + 1) * width, 0);
    covers[g.size() * width + s.size()] = 1;
    for (std::size_t i = g.size(); i-- > 0;) {
        for (std::size_t j = s.size() + 1; j-- > 0;) {
            bool result = false;
            switch (g[i].Kind) {
                case TToken::tkStar:
                    result = covers[(i + 1) * width + j] || (j < s.size() && covers[i * width + j + 1]);
                    break;
                case TToken::tkAnyChar:
                    result = j < s.size() && s[j].Kind != TToken::tkStar && covers[(i + 1) * width + j + 1];
                    break;
                case TToken::tkLiteral:
                    result = j < s.size() && s[j].Kind == TToken::tkLiteral && s[j].Literal == g[i].Literal &&
                             covers[(i + 1) * width + j + 1];
                    break;
            }
            covers[i * width + j] = result;
        }
    }
    return covers[0];
}

bool MatchMask(std::string_view name, std::string_view mask) { return TInternalMask(mask).Matches(name); }

}  // namespace kv
