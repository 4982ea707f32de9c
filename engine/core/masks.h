#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// A mask ("*", "?" and literal characters) compiled for matching names case-insensitively.
// "*" matches any run of characters, the path delimiter included; "?" matches one character, except
// right after a "*", where it adds nothing ("a*?.txt" is "a*.txt"). A mask ending with "." also matches
// names without any "." ("*." matches "README"). "*.*" means every name, as "*" does.
class TInternalMask {
public:
    enum class TElementKind : std::uint8_t { ekLiteral, ekAnyChar, ekEnd };
    struct TMaskElement {
        TElementKind Kind;
        bool Star;         // any run of characters may come before this element
        char32_t Literal;  // upper-cased; only for ekLiteral
        bool operator==(const TMaskElement&) const = default;
    };

    explicit TInternalMask(std::string_view mask);

    bool Matches(std::string_view name) const;
    // True for "*", "*.*" and their spellings with more stars.
    bool MatchesEverything() const;
    // True when every name `specific` matches is matched by this mask too. The test is conservative:
    // false may also mean "cannot tell".
    bool Covers(const TInternalMask& specific) const;

    const std::vector<TMaskElement>& Elements() const { return elements_; }
    bool EndsWithDot() const { return ends_with_dot_; }

private:
    bool MatchesCodePoints(const std::u32string& name) const;

    std::vector<TMaskElement> elements_;  // always ends with the ekEnd element
    bool ends_with_dot_ = false;
};

bool MatchMask(std::string_view name, std::string_view mask);

}  // namespace kv
