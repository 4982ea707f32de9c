#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

// A fresh folder under the system temporary folder, removed with everything in it when destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, std::string_view bytes);
void WriteFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);
std::string ReadFile(const std::filesystem::path& path);

// The archive corpus, or an empty path when it is absent (tests that need it skip).
std::filesystem::path CorpusDir();
// The build folder (where `kv` lives).
std::filesystem::path BinaryDir();

// Runs a shell command line; returns its exit status and fills `output` with what it printed.
int RunCommand(const std::string& command_line, std::string* output = nullptr);
// A path in single quotes for a shell command line (the tests' paths hold no quotes).
std::string Quoted(const std::filesystem::path& path);
// True when a program of that name is on PATH.
bool HaveProgram(const std::string& name);

}  // namespace kv::test
