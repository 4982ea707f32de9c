#include "platform/ini_text.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "platform/ascii_case.h"

namespace kv::platform {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsQuote(char c) { return c == '"' || c == '\''; }

std::string ProfileValue(std::string_view raw) {
    raw = TrimBlanks(raw);
    if (raw.size() >= 2 && IsQuote(raw.front()) && raw.front() == raw.back()) raw = raw.substr(1, raw.size() - 2);
    return std::string(raw);
}

// The value as it must be written to read back unchanged: quoted when trimming or quote removal would
// change it.
std::string StoredValue(std::string_view value) {
    const bool blankEdge = !value.empty() && TrimBlanks(value).size() != value.size();
    const bool quotedLook = value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back();
    return blankEdge || quotedLook ? "\"" + std::string(value) + "\"" : std::string(value);
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

TIniText TIniText::Parse(std::string_view bytes) {
    TIniText text;
    if (bytes.starts_with(kByteOrderMark)) {
        text.byteOrderMark_ = true;
        bytes.remove_prefix(kByteOrderMark.size());
    }
    const auto firstBreak = bytes.find('\n');
    text.crlf_ = firstBreak != std::string_view::npos && firstBreak > 0 && bytes[firstBreak - 1] == '\r';
    while (!bytes.empty()) {
        const auto end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        text.lines_.emplace_back(line);
        if (end == std::string_view::npos) break;
        bytes.remove_prefix(end + 1);
    }
    text.Index();
    return text;
}

std::string TIniText::Format() const {
    std::string bytes = byteOrderMark_ ? std::string(kByteOrderMark) : std::string();
    const char* lineBreak = crlf_ ? "\r\n" : "\n";
    for (const std::string& line : lines_) bytes += line + lineBreak;
    return bytes;
}

void TIniText::Index() {
    sections_.clear();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view line = TrimBlanks(lines_[i]);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::string_view name = line.substr(1, line.find(']') - 1);
            sections_.push_back({std::string(TrimBlanks(name)), i, i, {}});
            continue;
        }
        const auto equals = line.find('=');
        if (sections_.empty() || equals == std::string_view::npos) continue;  // keys before any section count not
        const std::string_view key = TrimBlanks(line.substr(0, equals));
        if (key.empty()) continue;
        sections_.back().Keys.emplace_back(std::string(key), i);
        sections_.back().LastLine = i;
    }
}

const TIniText::TSection* TIniText::FindSection(std::string_view section) const {
    section = TrimBlanks(section);
    for (const TSection& candidate : sections_) {
        if (SameAsciiText(candidate.Name, section)) return &candidate;
    }
    return nullptr;
}

std::optional<std::size_t> TIniText::FindKeyLine(const TSection& section, std::string_view key) const {
    key = TrimBlanks(key);
    for (const auto& [name, line] : section.Keys) {
        if (SameAsciiText(name, key)) return line;
    }
    return std::nullopt;
}

std::optional<std::string> TIniText::FindValue(std::string_view section, std::string_view key) const {
    const TSection* found = FindSection(section);
    if (!found) return std::nullopt;
    const auto line = FindKeyLine(*found, key);
    if (!line) return std::nullopt;
    const std::string& text = lines_[*line];
    return ProfileValue(std::string_view(text).substr(text.find('=') + 1));
}

bool TIniText::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

std::vector<std::string> TIniText::SectionNames() const {
    std::vector<std::string> names;
    for (const TSection& section : sections_) names.push_back(section.Name);
    return names;
}

std::vector<std::string> TIniText::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    if (const TSection* found = FindSection(section)) {
        for (const auto& key : found->Keys) names.push_back(key.first);
    }
    return names;
}

bool TIniText::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    if (key.empty() || key.find('=') != std::string_view::npos || section.find(']') != std::string_view::npos ||
        HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        return false;
    }
    const std::string stored = StoredValue(value);
    if (const TSection* found = FindSection(section)) {
        if (const auto line = FindKeyLine(*found, key)) {
            // The key keeps the spelling it has in the file.
            const std::string& old = lines_[*line];
            lines_[*line] = std::string(TrimBlanks(std::string_view(old).substr(0, old.find('=')))) + '=' + stored;
        } else {
            lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(found->LastLine + 1),
                          std::string(key) + '=' + stored);
        }
    } else {
        if (!lines_.empty() && !TrimBlanks(lines_.back()).empty()) lines_.emplace_back();
        lines_.push_back('[' + std::string(section) + ']');
        lines_.push_back(std::string(key) + '=' + stored);
    }
    Index();
    return true;
}

int ProfileInteger(std::string_view value) {
    value = TrimBlanks(value);
    bool negative = false;
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    int base = 10;
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        base = 16;
        value.remove_prefix(2);
    }
    std::int64_t magnitude = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), magnitude, base);
    if (error != std::errc() || end == value.data() || magnitude < 0) return 0;
    const std::int64_t number = negative ? -magnitude : magnitude;
    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) return 0;
    return static_cast<int>(number);
}

}  // namespace kv::platform
