#pragma once

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace kv::test {

// The `kv` program of this build.
inline std::string Kv() { return (BinaryDir() / "kv").string(); }

// Runs `kv x` of `archive` into `destination`, replacing files, with no terminal; what kv printed.
inline std::string KvExtract(const std::filesystem::path& archive, const std::filesystem::path& destination,
                             const std::string& password = {}) {
    std::string output;
    RunCommand(Kv() + " x " + Quoted(archive) + " -y -o " + Quoted(destination) +
                   (password.empty() ? "" : " -p " + Quoted(password)) + " 2>&1 </dev/null",
               &output);
    return output;
}

}  // namespace kv::test
