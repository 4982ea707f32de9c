#include "platform/registry_text.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "platform/ascii_case.h"

namespace kv::platform {
namespace {

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Reads a quoted string at the start of `text` (which begins with the quote) and drops it from `text`.
std::optional<std::string> TakeQuoted(std::string_view& text) {
    std::string result;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return result;
        }
        if (c == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            switch (next) {
                case 'n': result += '\n'; break;
                case 'r': result += '\r'; break;
                case '\\':
                case '"': result += next; break;
                default: result += '\\'; result += next; break;
            }
            continue;
        }
        result += c;
    }
    return std::nullopt;  // no closing quote
}

std::string Quoted(std::string_view text) {
    std::string result = "\"";
    for (const char c : text) {
        switch (c) {
            case '\\': result += "\\\\"; break;
            case '"': result += "\\\""; break;
            case '\n': result += "\\n"; break;
            case '\r': result += "\\r"; break;
            default: result += c; break;
        }
    }
    return result + '"';
}

std::optional<std::uint32_t> ParseDWord(std::string_view digits) {
    digits = TrimBlanks(digits);
    std::uint32_t value = 0;
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view list) {
    std::vector<std::uint8_t> bytes;
    list = TrimBlanks(list);
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view item = TrimBlanks(list.substr(0, comma));
        unsigned value = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value, 16);
        if (item.empty() || item.size() > 2 || error != std::errc() || end != item.data() + item.size()) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return bytes;
}

// The data after "=" of a value line; nullopt for a line that does not parse or a type we do not keep.
std::optional<TRegValue> ParseData(std::string_view data) {
    TRegValue value;
    if (!data.empty() && data.front() == '"') {
        auto text = TakeQuoted(data);
        if (!text) return std::nullopt;
        value.Text = std::move(*text);
        return value;
    }
    if (data.starts_with("dword:")) {
        const auto number = ParseDWord(data.substr(6));
        if (!number) return std::nullopt;
        value.Type = TRegValueType::rvDWord;
        value.DWord = *number;
        return value;
    }
    if (data.starts_with("hex:")) {
        auto bytes = ParseHexBytes(data.substr(4));
        if (!bytes) return std::nullopt;
        value.Type = TRegValueType::rvBinary;
        value.Bytes = std::move(*bytes);
        return value;
    }
    return std::nullopt;
}

std::string FormatData(const TRegValue& value) {
    static constexpr char kHex[] = "0123456789abcdef";
    switch (value.Type) {
        case TRegValueType::rvString: return Quoted(value.Text);
        case TRegValueType::rvDWord: {
            std::string digits = "dword:00000000";
            for (int i = 0; i < 8; ++i) digits[digits.size() - 1 - i] = kHex[(value.DWord >> (4 * i)) & 0xF];
            return digits;
        }
        case TRegValueType::rvBinary: {
            std::string list = "hex:";
            for (std::size_t i = 0; i < value.Bytes.size(); ++i) {
                if (i > 0) list += ',';
                list += kHex[value.Bytes[i] >> 4];
                list += kHex[value.Bytes[i] & 0xF];
            }
            return list;
        }
    }
    return {};
}

}  // namespace

std::string_view NormalizedKeyPath(std::string_view keyPath) {
    while (!keyPath.empty() && keyPath.front() == '\\') keyPath.remove_prefix(1);
    while (!keyPath.empty() && keyPath.back() == '\\') keyPath.remove_suffix(1);
    return keyPath;
}

TRegHiveText TRegHiveText::Parse(std::string_view text, std::string_view hiveName) {
    TRegHiveText hive;
    const std::vector<std::string_view> lines = SplitLines(text);
    std::string currentKey;
    bool inKey = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = TrimBlanks(lines[i]);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            // "[-...]" deletes a key in an import; it names nothing to keep.
            const auto close = line.rfind(']');
            const std::string_view header = line.substr(1, close == std::string_view::npos ? line.npos : close - 1);
            const std::string_view prefix = header.substr(0, header.find('\\'));
            inKey = close != std::string_view::npos && SameAsciiText(prefix, hiveName);
            if (inKey) currentKey = NormalizedKeyPath(header.substr(prefix.size()));
            if (inKey && !hive.FindKey(currentKey)) hive.keys_.push_back({currentKey, {}});
            continue;
        }
        std::string logical(line);
        // Long hex lists go on over several lines, each but the last ending with "\" (a string ends with
        // its quote, a DWORD with a digit).
        while (logical.back() == '\\' && i + 1 < lines.size()) {
            logical.pop_back();
            logical += TrimBlanks(lines[++i]);
        }
        if (!inKey) continue;
        std::string_view rest = logical;
        std::string name;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else if (rest.front() == '"') {
            auto quoted = TakeQuoted(rest);
            if (!quoted) continue;
            name = std::move(*quoted);
        } else {
            continue;
        }
        rest = TrimBlanks(rest);
        if (rest.empty() || rest.front() != '=') continue;
        if (auto value = ParseData(TrimBlanks(rest.substr(1)))) hive.SetValue(currentKey, name, *value);
    }
    return hive;
}

std::string TRegHiveText::Format(std::string_view hiveName) const {
    std::string text = "REGEDIT4\n";
    for (const TKey& key : keys_) {
        text += "\n[";
        text += hiveName;
        if (!key.Path.empty()) text += '\\' + key.Path;
        text += "]\n";
        for (const auto& [name, value] : key.Values) {
            text += name.empty() ? std::string("@") : Quoted(name);
            text += '=' + FormatData(value) + '\n';
        }
    }
    return text;
}

TRegHiveText::TKey* TRegHiveText::FindKey(std::string_view keyPath) {
    return const_cast<TKey*>(std::as_const(*this).FindKey(keyPath));
}

const TRegHiveText::TKey* TRegHiveText::FindKey(std::string_view keyPath) const {
    keyPath = NormalizedKeyPath(keyPath);
    const auto found =
        std::find_if(keys_.begin(), keys_.end(), [&](const TKey& key) { return SameAsciiText(key.Path, keyPath); });
    return found == keys_.end() ? nullptr : &*found;
}

bool TRegHiveText::KeyExists(std::string_view keyPath) const { return FindKey(keyPath) != nullptr; }

const TRegValue* TRegHiveText::FindValue(std::string_view keyPath, std::string_view valueName) const {
    const TKey* key = FindKey(keyPath);
    if (!key) return nullptr;
    for (const auto& [name, value] : key->Values) {
        if (SameAsciiText(name, valueName)) return &value;
    }
    return nullptr;
}

void TRegHiveText::SetValue(std::string_view keyPath, std::string_view valueName, const TRegValue& value) {
    TKey* key = FindKey(keyPath);
    if (!key) key = &keys_.emplace_back(TKey{std::string(NormalizedKeyPath(keyPath)), {}});
    for (auto& [name, old] : key->Values) {
        if (SameAsciiText(name, valueName)) {
            old = value;
            return;
        }
    }
    key->Values.emplace_back(std::string(valueName), value);
}

}  // namespace kv::platform
