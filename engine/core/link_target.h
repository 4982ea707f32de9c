#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv {

// Where a link's target leads, resolved from its text alone, starting in `folder` (the link's folder below
// the extraction folder, "/"-separated, empty for the top): the path below the extraction folder ("" for
// the top itself), or nothing when the target is absolute or climbs above the top. ".." counts only before
// the first name: after a name, which may itself be a link, the climb would start from wherever that
// link leads, which the text cannot tell.
std::optional<std::string> ResolveLinkTarget(std::string_view folder, std::string_view target);

}  // namespace kv
