#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kv::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvtest-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may leave read-only folders behind; give write access back before removing.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    WriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

std::filesystem::path CorpusDir() {
    std::filesystem::path dir = KV_CORPUS_DIR;
    if (const char* env = std::getenv("KV_CORPUS_DIR")) dir = env;
    std::error_code ec;
    return std::filesystem::is_directory(dir, ec) ? dir : std::filesystem::path{};
}

std::filesystem::path BinaryDir() { return KV_BINARY_DIR; }

int RunCommand(const std::string& command_line, std::string* output) {
    FILE* pipe = ::popen((command_line + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    std::array<char, 4096> chunk{};
    std::string text;
    std::size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) text.append(chunk.data(), got);
    const int status = ::pclose(pipe);
    if (output != nullptr) *output = std::move(text);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

bool HaveProgram(const std::string& name) { return RunCommand("command -v " + name + " >/dev/null") == 0; }

}  // namespace kv::test
