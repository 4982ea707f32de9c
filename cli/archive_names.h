#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/core/arc_type.h"

namespace kv::cli {

// The packed TAR type a name stands for (".tar.gz"/".tgz", ".tar.xz"/".txz", ".tar.zst"/".tzst", any case).
std::optional<TArcType> PackedTarTypeOfName(std::string_view name);

// The type kv makes a new archive of: the one whose extension `type` is (zip, jar, tar, tgz, gz, bz2...),
// else the one the archive's name suggests, ZIP by default; none for a type kv cannot write.
std::optional<TArcType> NewArchiveType(const std::string& archive, const std::string& type);

}  // namespace kv::cli
