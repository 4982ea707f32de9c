#include "outside/zipeng/job_settings.h"

#include <cstdio>

#include "engine/core/date_time.h"
#include "engine/core/dates.h"
#include "engine/core/text_case.h"

namespace kv::zipeng {

std::vector<std::string> ParseStoreSuffixes(const char* list) {
    std::vector<std::string> suffixes;
    std::string current;
    for (const char* p = list; p != nullptr; ++p) {
        if (*p == ':' || *p == ';' || *p == '\0') {
            if (!current.empty()) suffixes.push_back(UpperCaseText(current));
            current.clear();
            if (*p == '\0') break;
        } else if (*p != ' ') {
            current += *p;
        }
    }
    return suffixes;
}

bool HasStoreSuffix(std::string_view name, const std::vector<std::string>& suffixes) {
    const std::string upper = UpperCaseText(name);
    for (const std::string& suffix : suffixes) {
        if (upper.size() >= suffix.size() && upper.compare(upper.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return true;
        }
    }
    return false;
}

std::optional<std::uint32_t> ParseFromDate(const char (&text)[8]) {
    const std::string date(text, sizeof(text));
    int month = 0;
    int day = 0;
    int year = 0;
    if (std::sscanf(date.c_str(), "%2d %2d %2d", &month, &day, &year) != 3) return std::nullopt;
    year += year < 80 ? 2000 : 1900;
    const auto value = EncodeDate(year, month, day);
    if (!value) return std::nullopt;
    return DateTimeToDosDateTime(*value);
}

std::string SafeStoredName(std::string_view name) {
    std::string safe;
    std::string part;
    const auto flush = [&] {
        const bool drive = part.size() == 2 && part[1] == ':' && safe.empty();
        if (!part.empty() && part != "." && part != ".." && !drive) {
            if (!safe.empty()) safe += '/';
            safe += part;
        }
        part.clear();
    };
    for (const char c : name) {
        if (c == '/' || c == '\\') {
            flush();
        } else {
            part += c;
        }
    }
    flush();
    const bool folder = !name.empty() && (name.back() == '/' || name.back() == '\\');
    if (folder && !safe.empty()) safe += '/';
    return safe;
}

}  // namespace kv::zipeng
