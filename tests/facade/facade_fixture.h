#pragma once

#include <string>
#include <vector>

#include "facade/kv_comp.h"
#include "support/tar_builder.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace kv::test {

// Writes a ZIP of stored members with the given names (each holding its own name as data).
inline std::string WriteZipOf(const TempDir& dir, const std::string& file, const std::vector<std::string>& names) {
    std::vector<ZipMember> members;
    for (const std::string& name : names) members.push_back({.name = name, .data = name});
    const std::string path = (dir / file).string();
    WriteFile(path, BuildZip(members));
    return path;
}

// Writes a TAR whose members hold their own names as data.
inline std::string WriteTarOf(const TempDir& dir, const std::string& file, const std::vector<std::string>& names) {
    std::string tar;
    for (const std::string& name : names) tar += TarMember({.name = name, .size = name.size()}, name);
    const std::string path = (dir / file).string();
    WriteFile(path, tar + TarEnd());
    return path;
}

inline std::vector<std::string> EntryNames(const facade::TkvComp& comp) {
    std::vector<std::string> names;
    for (const facade::TArcEntry& e : comp.Entries()) names.push_back(e.FileName);
    return names;
}

}  // namespace kv::test
