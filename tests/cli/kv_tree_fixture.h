#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>
#include <string>

#include "cli/kv_program.h"
#include "support/test_support.h"

namespace kv::test {

namespace fs = std::filesystem;

// A source tree to add (text, binary, empty and hidden files in nested folders), kv run in a folder of
// the test's own, and the checks on what comes back.
class KvTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(src() / "sub" / "deeper");
        std::string text;
        for (int i = 0; i < 20000; ++i) text += std::to_string(i * 7919 % 10007) + (i % 13 ? " " : "\n");
        std::string binary;
        for (unsigned i = 0; i < 70000; ++i) binary += static_cast<char>((i * i + i / 7) & 0xFFu);
        WriteFile(src() / "text.txt", text);
        WriteFile(src() / "sub" / "small.txt", "small\n");
        WriteFile(src() / "sub" / "deeper" / "bin.dat", binary);
        WriteFile(src() / "empty.txt", "");
        WriteFile(src() / ".hidden", "taken like zip takes it\n");
    }
    fs::path src() const { return dir_ / "src"; }
    // Runs a command in the test's folder with no terminal.
    int Sh(const std::string& command, std::string* out = nullptr) {
        return RunCommand("cd '" + dir_.Path().string() + "' && " + command + " 2>&1 </dev/null", out);
    }
    int Run(const std::string& args, std::string* out = nullptr) { return Sh(Kv() + " " + args, out); }
    // The files of the source tree (relative to it) but those in `left_out`, with the same bytes under
    // `out`/src; nothing else was extracted.
    void ExpectSameTree(const fs::path& out, const std::set<std::string>& left_out = {}) {
        std::set<std::string> expected;
        for (const auto& file : fs::recursive_directory_iterator(src())) {
            if (!file.is_regular_file()) continue;
            const std::string relative = fs::relative(file.path(), src()).string();
            if (left_out.contains(relative)) continue;
            expected.insert(relative);
            EXPECT_EQ(ReadFile(out / "src" / relative), ReadFile(file.path())) << relative;
        }
        std::set<std::string> found;
        for (const auto& file : fs::recursive_directory_iterator(out / "src"))
            if (file.is_regular_file()) found.insert(fs::relative(file.path(), out / "src").string());
        EXPECT_EQ(found, expected);
    }
    nlohmann::json Listing(const std::string& archive) {
        std::string out;
        EXPECT_EQ(Sh(Kv() + " l --json " + archive + " 2>/dev/null", &out), 0) << out;
        return nlohmann::json::parse(out, nullptr, false);
    }
    TempDir dir_;
};

}  // namespace kv::test
