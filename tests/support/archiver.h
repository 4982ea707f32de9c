#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace kv::test {

// Runs `command` in `folder` to make an archive with `tool`: false when the tool is not installed, and false
// with a test failure naming the command and its output when the command fails.
inline bool RunArchiver(const std::string& tool, const std::filesystem::path& folder, const std::string& command) {
    if (!HaveProgram(tool)) return false;
    std::string output;
    const int status = RunCommand("cd " + Quoted(folder) + " && " + command, &output);
    EXPECT_EQ(status, 0) << command << "\n" << output;
    return status == 0;
}

}  // namespace kv::test
