#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/foreign_items.h"
#include "support/reader_run.h"
#include "support/test_support.h"

namespace kv::test {

// An archive as it stands, cut at a third, at half and before its last byte, and with a byte changed every
// 97 bytes from offset 30 on: the copies a reader is given to show that damaged input stays harmless. Each
// comes with what was done to it.
inline std::vector<std::pair<std::string, std::string>> DamagedCopies(const std::string& bytes) {
    std::vector<std::pair<std::string, std::string>> copies = {{"whole", bytes}};
    for (const std::size_t keep : {bytes.size() / 3, bytes.size() / 2, bytes.size() - 1})
        copies.push_back({"cut at " + std::to_string(keep), bytes.substr(0, keep)});
    std::string changed = bytes;
    for (std::size_t at = 30; at < changed.size(); at += 97) changed[at] = static_cast<char>(changed[at] ^ 0x5A);
    copies.push_back({"bytes changed", changed});
    return copies;
}

// Extracts `bytes` with the reader of `type` into a folder three levels down a fresh sandbox, so that names
// climbing out would show; what landed outside that folder ("" when nothing did).
inline std::string ExtractedOutside(const std::string& bytes, TArcType type, const std::string& password = {}) {
    TempDir sandbox;
    TempDir source;
    const std::filesystem::path destination = sandbox / "a/b/out";
    std::filesystem::create_directories(destination);
    WriteFile(source / "archive", bytes);
    ExtractWithReader(source / "archive", type, destination, password);
    return ForeignItems(sandbox.Path(), destination);
}

}  // namespace kv::test
