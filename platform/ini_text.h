#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::platform {

// The lines of an INI file with the profile rules of lookup: sections and keys match case-insensitively
// (the first section and the first key of a name count), values are trimmed and lose one pair of
// matching quotes around them, lines starting with ";" are comments. Changing one value keeps every
// other line as it was, the line-break style and a leading UTF-8 byte-order mark included.
class TIniText {
public:
    static TIniText Parse(std::string_view bytes);
    std::string Format() const;

    std::optional<std::string> FindValue(std::string_view section, std::string_view key) const;
    bool SectionExists(std::string_view section) const;
    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(std::string_view section) const;

    // Adds the section and the key as needed. False, with nothing changed, for what one line cannot hold:
    // an empty key, a key with "=", a section with "]", or a line break in any of them.
    bool SetValue(std::string_view section, std::string_view key, std::string_view value);

private:
    struct TSection {
        std::string Name;
        std::size_t Header = 0;    // line of "[Name]"
        std::size_t LastLine = 0;  // the last key line, else the header
        std::vector<std::pair<std::string, std::size_t>> Keys;
    };
    void Index();
    const TSection* FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKeyLine(const TSection& section, std::string_view key) const;

    std::vector<std::string> lines_;
    std::vector<TSection> sections_;
    bool byteOrderMark_ = false;
    bool crlf_ = false;
};

// The profile rule for numbers: an optional sign and decimal digits, or "0x" and hex digits, read as far
// as they go; a value that starts with no number, or one beyond the Integer range, reads as 0.
int ProfileInteger(std::string_view value);

}  // namespace kv::platform
