#include "engine/core/link_target.h"

#include <algorithm>
#include <vector>

namespace kv {
namespace {

std::vector<std::string_view> Steps(std::string_view path) {
    std::vector<std::string_view> steps;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view step = path.substr(0, slash);
        if (!step.empty() && step != ".") steps.push_back(step);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return steps;
}

}  // namespace

std::optional<std::string> ResolveLinkTarget(std::string_view folder, std::string_view target) {
    if (target.empty() || target.front() == '/') return std::nullopt;
    std::vector<std::string_view> resolved = Steps(folder);
    // The link's own folder must be a plain path.
    if (std::find(resolved.begin(), resolved.end(), "..") != resolved.end()) return std::nullopt;
    bool named = false;
    for (const std::string_view step : Steps(target)) {
        if (step == "..") {
            if (named || resolved.empty()) return std::nullopt;
            resolved.pop_back();
        } else {
            named = true;
            resolved.push_back(step);
        }
    }
    std::string path;
    for (const std::string_view step : resolved) path += (path.empty() ? "" : "/") + std::string(step);
    return path;
}

}  // namespace kv
