#include "engine/readers/tar_header.h"

#include <charconv>
#include <cstring>
#include <limits>

#include "engine/core/octal_field.h"

namespace kv {
namespace {

constexpr std::size_t kNameSize = 100;
constexpr std::size_t kModeAt = 100;
constexpr std::size_t kModeSize = 8;
constexpr std::size_t kLinkNameAt = 157;
constexpr std::size_t kSizeAt = 124;
constexpr std::size_t kTimeAt = 136;
constexpr std::size_t kNumberSize = 12;
constexpr std::size_t kChecksumAt = 148;
constexpr std::size_t kChecksumSize = 8;
constexpr std::size_t kTypeFlagAt = 156;
constexpr std::size_t kMagicAt = 257;
constexpr std::size_t kPrefixAt = 345;
constexpr std::size_t kPrefixSize = 155;
// POSIX ustar; GNU tar writes "ustar  " and keeps other fields where the prefix would be.
constexpr std::string_view kUstarMagic{"ustar\0", 6};

std::string_view Field(const TTarBlock& block, std::size_t at, std::size_t size) {
    return {reinterpret_cast<const char*>(block.data() + at), size};
}

std::string_view UpToZero(std::string_view field) { return field.substr(0, field.find('\0')); }

std::optional<std::int64_t> ParseDecimal(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

// A pax time, "[-]seconds[.fraction]", as whole seconds rounded down and the nanoseconds above them.
bool ParsePaxTime(std::string_view text, std::int64_t& seconds, std::uint32_t& nanoseconds) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    const std::size_t dot = text.find('.');
    const auto whole = ParseDecimal(text.substr(0, dot));
    if (!whole) return false;
    std::uint32_t fraction = 0;
    if (dot != std::string_view::npos) {
        std::uint32_t scale = 1000000000;
        for (const char digit : text.substr(dot + 1)) {
            if (digit < '0' || digit > '9') return false;
            // Digits beyond the nanosecond are dropped.
            if (scale > 1) fraction += static_cast<std::uint32_t>(digit - '0') * (scale /= 10);
        }
    }
    if (!negative) {
        seconds = *whole;
        nanoseconds = fraction;
    } else {
        seconds = -*whole - (fraction != 0 ? 1 : 0);
        nanoseconds = fraction != 0 ? 1000000000 - fraction : 0;
    }
    return true;
}

// The numbers of a 0.1 sparse map, "offset,length,offset,length...".
bool ParseNumberList(std::string_view text, std::vector<std::int64_t>& into) {
    while (true) {
        const std::size_t comma = text.find(',');
        const auto number = ParseDecimal(text.substr(0, comma));
        if (!number) return false;
        into.push_back(*number);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

// A GNU sparse record; false when its value cannot be read.
bool ParseSparseRecord(std::string_view key, std::string_view value, TPaxOverrides& into) {
    if (key == "GNU.sparse.size" || key == "GNU.sparse.realsize") {
        into.SparseRealSize = ParseDecimal(value);
        return into.SparseRealSize.has_value();
    }
    if (key == "GNU.sparse.name") {
        into.SparseName = std::string(value);
    } else if (key == "GNU.sparse.offset" || key == "GNU.sparse.numbytes") {
        const auto number = ParseDecimal(value);
        if (!number) return false;
        into.SparseNumbers.push_back(*number);
    } else if (key == "GNU.sparse.map") {
        return value.empty() || ParseNumberList(value, into.SparseNumbers);
    } else if (key == "GNU.sparse.major") {
        into.SparseMapInData = value == "1";
        return value == "0" || value == "1";
    }
    return true;
}

}  // namespace

std::optional<std::int64_t> ParseTarTime(std::string_view field) {
    if (field.empty() || static_cast<std::uint8_t>(field[0]) != 0xFF) return ParseTarNumber(field);
    // Two's complement over the whole field: the value is what the bytes give, less 256 to their count.
    std::int64_t value = -1;
    for (std::size_t i = 1; i < field.size(); ++i) {
        if (value < (std::numeric_limits<std::int64_t>::min() >> 8)) return std::nullopt;
        value = static_cast<std::int64_t>(static_cast<std::uint64_t>(value) << 8) | static_cast<std::uint8_t>(field[i]);
    }
    return value;
}

std::optional<std::int64_t> ParseTarNumber(std::string_view field) {
    if (field.empty()) return std::nullopt;
    const auto first = static_cast<std::uint8_t>(field[0]);
    if ((first & 0x80) == 0) return ParseOctal(field);
    if (first != 0x80) return std::nullopt;  // 0xFF marks a negative value
    std::int64_t value = 0;
    for (std::size_t i = 1; i < field.size(); ++i) {
        if (value > (std::numeric_limits<std::int64_t>::max() >> 8)) return std::nullopt;
        value = (value << 8) | static_cast<std::uint8_t>(field[i]);
    }
    return value;
}

std::optional<TTarHeader> ParseTarHeader(const TTarBlock& block) {
    if (!TarChecksumMatches(block)) return std::nullopt;
    const auto size = ParseTarNumber(Field(block, kSizeAt, kNumberSize));
    if (!size) return std::nullopt;
    TTarHeader header;
    header.Size = *size;
    header.ModificationTime = ParseTarTime(Field(block, kTimeAt, kNumberSize));
    header.Checksum = static_cast<std::uint32_t>(ParseOctal(Field(block, kChecksumAt, kChecksumSize)).value_or(0));
    header.TypeFlag = static_cast<char>(block[kTypeFlagAt]);
    header.Mode = static_cast<std::uint32_t>(ParseTarNumber(Field(block, kModeAt, kModeSize)).value_or(0) & 07777);
    header.Name = UpToZero(Field(block, 0, kNameSize));
    header.LinkName = UpToZero(Field(block, kLinkNameAt, kNameSize));
    if (Field(block, kMagicAt, kUstarMagic.size()) == kUstarMagic) {
        const std::string_view prefix = UpToZero(Field(block, kPrefixAt, kPrefixSize));
        if (!prefix.empty()) header.Name = std::string(prefix) + "/" + header.Name;
    }
    return header;
}

void ParsePaxRecords(std::string_view data, TPaxOverrides& into) {
    while (!data.empty()) {
        const std::size_t blank = data.find(' ');
        if (blank == std::string_view::npos) return;
        const auto length = ParseDecimal(data.substr(0, blank));
        if (!length || *length <= static_cast<std::int64_t>(blank) + 1 ||
            *length > static_cast<std::int64_t>(data.size())) {
            return;
        }
        const std::string_view record = data.substr(blank + 1, static_cast<std::size_t>(*length) - blank - 1);
        data.remove_prefix(static_cast<std::size_t>(*length));
        if (record.back() != '\n') return;
        const std::size_t equals = record.find('=');
        if (equals == std::string_view::npos) return;
        const std::string_view key = record.substr(0, equals);
        const std::string_view value = record.substr(equals + 1, record.size() - equals - 2);
        if (key == "path") {
            into.Path = std::string(value);
        } else if (key == "linkpath") {
            into.LinkPath = std::string(value);
        } else if (key == "hdrcharset") {
            into.BinaryNames = value == "BINARY";
        } else if (key == "size") {
            if (const auto size = ParseDecimal(value)) into.Size = size;
        } else if (key == "mtime") {
            std::int64_t seconds = 0;
            std::uint32_t nanoseconds = 0;
            if (ParsePaxTime(value, seconds, nanoseconds)) {
                into.ModificationTime = seconds;
                into.ModificationNanoseconds = nanoseconds;
            }
        } else if (key.starts_with("GNU.sparse.")) {
            if (!ParseSparseRecord(key, value, into)) into.SparseBroken = true;
        }
    }
}

}  // namespace kv
