#include "facade/security_issue.h"

namespace kv::facade {
namespace {

bool IsDelimiter(char c) { return c == '/' || c == '\\'; }

bool HasDrive(std::string_view name) {
    return name.size() >= 2 && name[1] == ':' && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

}  // namespace

bool IsTraversalName(std::string_view name) {
    if (name.empty()) return false;
    if (IsDelimiter(name.front()) || HasDrive(name)) return true;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsDelimiter(name[end])) ++end;
        if (name.substr(start, end - start) == "..") return true;
        start = end + 1;
    }
    return false;
}

}  // namespace kv::facade
