#include "engine/core/output_path.h"

#include <cctype>
#include <vector>

#include "platform/paths.h"

namespace kv {
namespace {

bool IsDelimiter(char c) { return c == '/' || c == '\\'; }

// The stored name's components, without a drive, empty parts, "." and "..".
std::vector<std::string_view> SafeComponents(std::string_view name, bool& last_dropped) {
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') name.remove_prefix(2);
    std::vector<std::string_view> parts;
    last_dropped = false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsDelimiter(name[end])) ++end;
        const std::string_view part = name.substr(start, end - start);
        const bool last = end >= name.size();
        const bool unusable = part.empty() || part == "." || part == "..";
        if (!unusable) parts.push_back(part);
        if (last) last_dropped = unusable;
        start = end + 1;
    }
    return parts;
}

}  // namespace

std::optional<std::string> BuildOutputPath(const std::string& extract_dir, std::string_view stored_name,
                                           bool use_stored_dirs) {
    // The system ends a path at a zero byte; so does the name, so that the checks see what gets written.
    stored_name = stored_name.substr(0, stored_name.find('\0'));
    bool file_part_dropped = false;
    const std::vector<std::string_view> parts = SafeComponents(stored_name, file_part_dropped);
    if (parts.empty() || file_part_dropped) return std::nullopt;
    std::string path = platform::IncludeTrailingDelimiter(extract_dir);
    if (use_stored_dirs) {
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            path.append(parts[i]);
            path += platform::kPathDelim;
        }
    }
    path.append(parts.back());
    return path;
}

}  // namespace kv
