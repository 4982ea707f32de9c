#include "zipmanager/span_names.h"

#include <cstdio>

#include "platform/paths.h"

namespace kv {
namespace {

// Where the extension starts (the name's length when it has none).
std::size_t ExtensionStart(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    const std::size_t delim = name.rfind(platform::kPathDelim);
    if (dot == std::string::npos || (delim != std::string::npos && dot < delim)) return name.size();
    return dot;
}

// The last `digits` digits of `number`: 100 in two digits is "00", 1000 in three "000".
std::string Digits(int number, int digits) {
    char buffer[16];
    const int modulus = digits == 2 ? 100 : 1000;
    std::snprintf(buffer, sizeof buffer, "%0*d", digits, number % modulus);
    return buffer;
}

}  // namespace

std::string ChangeFileExt(const std::string& name, const std::string& extension) {
    return name.substr(0, ExtensionStart(name)) + extension;
}

int ParseDigits(const std::string& text, std::size_t pos, std::size_t count) {
    if (pos + count > text.size() || count == 0) return -1;
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::string SpanVolumeFileName(const std::string& name, int disk, bool last_disk, bool compat_name,
                               bool name_is_numbered) {
    const int number = disk + 1;
    if (compat_name) return ChangeFileExt(name, last_disk ? ".zip" : ".z" + Digits(number, 2));
    const std::size_t ext = ExtensionStart(name);
    std::string stem = name.substr(0, ext);
    if (name_is_numbered && stem.size() >= 3) stem.resize(stem.size() - 3);
    return stem + Digits(number, 3) + name.substr(ext);
}

int DiskNumberFromLabel(const std::string& label) {
    const int number = ParseDigits(label, 8, 3);
    return number < 0 ? 1 : number;
}

}  // namespace kv
