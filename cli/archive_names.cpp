#include "cli/archive_names.h"

#include <array>
#include <utility>

#include "engine/core/text_case.h"

namespace kv::cli {
namespace {

constexpr std::array<std::pair<std::string_view, TArcType>, 13> kTypeNames{{{"zip", atZip},
                                                                            {"jar", atJar},
                                                                            {"tar", atTar},
                                                                            {"tgz", atTarGZip},
                                                                            {"tar.gz", atTarGZip},
                                                                            {"gz", atGZip},
                                                                            {"bz2", atBz2},
                                                                            {"txz", atTarXz},
                                                                            {"tar.xz", atTarXz},
                                                                            {"xz", atXz},
                                                                            {"tzst", atTarZstd},
                                                                            {"tar.zst", atTarZstd},
                                                                            {"zst", atZstd}}};
// The names of TARs packed whole by a compressor.
constexpr std::array<std::pair<std::string_view, TArcType>, 6> kPackedTarNames{{{".tar.gz", atTarGZip},
                                                                                 {".tgz", atTarGZip},
                                                                                 {".tar.xz", atTarXz},
                                                                                 {".txz", atTarXz},
                                                                                 {".tar.zst", atTarZstd},
                                                                                 {".tzst", atTarZstd}}};

}  // namespace

std::optional<TArcType> PackedTarTypeOfName(std::string_view name) {
    for (const auto& [ending, type] : kPackedTarNames)
        if (EndsWithText(name, ending)) return type;
    return std::nullopt;
}

std::optional<TArcType> NewArchiveType(const std::string& archive, const std::string& type) {
    if (!type.empty()) {
        for (const auto& [name, value] : kTypeNames)
            if (SameText(type, name)) return value;
        return std::nullopt;
    }
    if (const auto packed_tar = PackedTarTypeOfName(archive)) return packed_tar;
    // No writer packs a TAR with BZIP2.
    if (EndsWithText(archive, ".tar.bz2") || EndsWithText(archive, ".tbz2") || EndsWithText(archive, ".tbz"))
        return std::nullopt;
    for (const auto& [name, value] : kTypeNames)
        if (EndsWithText(archive, "." + std::string(name))) return value;
    return atZip;
}

}  // namespace kv::cli
