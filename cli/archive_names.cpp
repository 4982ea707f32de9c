#include "cli/archive_names.h"

#include <algorithm>

#include "engine/core/formats.h"
#include "engine/core/packed_tar_types.h"
#include "engine/writers/format_capabilities.h"

namespace kv::cli {
namespace {

// A type kv can make a new archive of.
std::optional<TArcType> Writable(std::optional<TArcType> type) {
    if (type && CapabilitiesOfFormat(*type).Add) return type;
    return std::nullopt;
}

bool PacksTarInto(TArcType compressor) {
    return std::ranges::any_of(Formats(), [compressor](const TFormat& format) {
        return format.TarPackedAs == compressor && CapabilitiesOfFormat(format.Type).Add;
    });
}

}  // namespace

std::optional<TArcType> PackedTarTypeOfName(std::string_view name) {
    const std::optional<TArcType> type = TypeOfFileName(name);
    if (type && IsPackedTarType(*type)) return type;
    return std::nullopt;
}

std::optional<TArcType> NewArchiveType(const std::string& archive, const std::string& type) {
    if (!type.empty()) return Writable(TypeOfNewArchiveExtension(type));
    // A name that promises a compressed TAR no writer packs (a.tar.bz2) gets no archive of another kind.
    const std::optional<TArcType> tar_holder = CompressedTarTypeOfName(archive);
    if (tar_holder && !PacksTarInto(*tar_holder)) return std::nullopt;
    const std::optional<TArcType> named = Writable(TypeOfNewArchiveName(archive));
    return named ? named : atZip;
}

}  // namespace kv::cli
