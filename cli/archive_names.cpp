#include "cli/archive_names.h"

#include <array>
#include <utility>

#include "engine/core/text_case.h"

namespace kv::cli {
namespace {

constexpr std::array<std::pair<std::string_view, TArcType>, 7> kTypeNames{{{"zip", atZip},
                                                                            {"jar", atJar},
                                                                            {"tar", atTar},
                                                                            {"tgz", atTarGZip},
                                                                            {"tar.gz", atTarGZip},
                                                                            {"gz", atGZip},
                                                                            {"bz2", atBz2}}};

}  // namespace

bool IsTarGzipName(std::string_view name) { return EndsWithText(name, ".tar.gz") || EndsWithText(name, ".tgz"); }

std::optional<TArcType> NewArchiveType(const std::string& archive, const std::string& type) {
    if (!type.empty()) {
        for (const auto& [name, value] : kTypeNames)
            if (SameText(type, name)) return value;
        return std::nullopt;
    }
    if (IsTarGzipName(archive)) return atTarGZip;
    // No writer packs a TAR with BZIP2.
    if (EndsWithText(archive, ".tar.bz2") || EndsWithText(archive, ".tbz2") || EndsWithText(archive, ".tbz"))
        return std::nullopt;
    for (const auto& [name, value] : kTypeNames)
        if (EndsWithText(archive, "." + std::string(name))) return value;
    return atZip;
}

}  // namespace kv::cli
