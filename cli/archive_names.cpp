#include "cli/archive_names.h"

#include "engine/core/formats.h"
#include "engine/core/packed_tar_types.h"
#include "engine/core/text_case.h"
#include "engine/writers/format_capabilities.h"

namespace kv::cli {
namespace {

// A type kv can make a new archive of.
std::optional<TArcType> Writable(std::optional<TArcType> type) {
    if (type && CapabilitiesOfFormat(*type).Add) return type;
    return std::nullopt;
}

}  // namespace

std::optional<TArcType> PackedTarTypeOfName(std::string_view name) {
    const std::optional<TArcType> type = TypeOfFileName(name);
    if (type && IsPackedTarType(*type)) return type;
    return std::nullopt;
}

std::optional<TArcType> NewArchiveType(const std::string& archive, const std::string& type) {
    if (!type.empty()) return Writable(TypeOfExtension(type));
    // No writer packs a TAR with BZIP2.
    if (EndsWithText(archive, ".tar.bz2") || EndsWithText(archive, ".tbz2") || EndsWithText(archive, ".tbz"))
        return std::nullopt;
    const std::optional<TArcType> named = Writable(TypeOfFileName(archive));
    return named ? named : atZip;
}

}  // namespace kv::cli
