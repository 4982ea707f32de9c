#include "engine/core/volume_names.h"

#include <cctype>
#include <optional>
#include <string_view>
#include <utility>

#include "engine/core/formats.h"
#include "platform/paths.h"

namespace kv {
namespace {

// The position of the last dot of the file name (not of a folder), or npos.
std::size_t ExtensionDot(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.rfind(platform::kPathDelim);
    return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? std::string::npos : dot;
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

std::string Padded(int value, std::size_t width) {
    std::string digits = std::to_string(value);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

// "data.part7.rar" → the position of ".part7" and the width of its number (1 to 4 digits).
std::optional<std::pair<std::size_t, std::size_t>> RarPartExtension(const std::string& stem) {
    const std::size_t dot = ExtensionDot(stem);
    if (dot == std::string::npos) return std::nullopt;
    const std::string_view ext = std::string_view(stem).substr(dot);
    if (ext.size() < 6 || ext.size() > 9) return std::nullopt;
    for (std::size_t i = 0; i < 5; ++i) {
        if (std::tolower(static_cast<unsigned char>(ext[i])) != ".part"[i]) return std::nullopt;
    }
    for (char c : ext.substr(5)) {
        if (!IsDigit(c)) return std::nullopt;
    }
    return std::make_pair(dot, ext.size() - 5);
}

}  // namespace

void ComputeVolumeNumber(TArcType type, const std::string& archive_file, TArcDetection& state) {
    const TVolumeNaming& style = FormatOf(type).Volumes;
    if (style.Letter == 0) return;
    const std::size_t dot = ExtensionDot(archive_file);
    const std::string ext =
        dot == std::string::npos ? std::string(style.DefaultExtension) : archive_file.substr(dot + 1);

    char letter = style.Letter;
    if (dot != std::string::npos && !ext.empty() && std::isalpha(static_cast<unsigned char>(ext[0]))) {
        letter = std::isupper(static_cast<unsigned char>(ext[0])) ? static_cast<char>(std::toupper(letter))
                                                                  : static_cast<char>(std::tolower(letter));
    }
    std::size_t digits = 0;
    while (digits < ext.size() && IsDigit(ext[ext.size() - 1 - digits])) ++digits;
    // Numbers this long name no volume; treat them like an extension without digits.
    constexpr std::size_t kMaxDigits = 6;
    if (digits > 0 && digits <= kMaxDigits) {
        state.VolumeNumber = std::stoi(ext.substr(ext.size() - digits)) + 1;
        letter = ext[0];
    } else {
        state.VolumeNumber = style.FirstNumber;
    }
    state.VolumeLetter = letter;
}

std::string GetNextVolumeName(TArcType type, const std::string& name, int n, char letter) {
    if (n < 0) return {};
    const std::size_t dot = ExtensionDot(name);
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);

    if (FormatOf(type).Volumes.RarStyle) {
        if (const auto part = RarPartExtension(stem)) {
            return stem.substr(0, part->first) + ".part" + Padded(n + 2, part->second) + ".rar";
        }
        n %= 100;
        // Each hundred volumes move the letter on: data.rar is followed by data.r00, data.r99 by data.s00.
        if (n == 0) letter = static_cast<char>(letter + 1);
    }
    if (n >= 100) return stem + "." + std::to_string(n);
    if (letter == 0) return {};
    return stem + "." + letter + Padded(n, 2);
}

}  // namespace kv
