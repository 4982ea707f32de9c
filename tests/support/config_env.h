#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace kv::test {

// Points the per-user and machine-wide configuration folders ($XDG_CONFIG_HOME, $XDG_CONFIG_DIRS) into
// `root`/user and `root`/machine while it lives, so tests never touch the real ones.
class ScopedConfigDirs {
public:
    explicit ScopedConfigDirs(const std::filesystem::path& root)
        : user_(root / "user"), machine_(root / "machine"), savedHome_(Get("XDG_CONFIG_HOME")),
          savedDirs_(Get("XDG_CONFIG_DIRS")) {
        ::setenv("XDG_CONFIG_HOME", user_.c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (machine_.string() + ":/etc/xdg").c_str(), 1);
    }
    ~ScopedConfigDirs() {
        Restore("XDG_CONFIG_HOME", savedHome_);
        Restore("XDG_CONFIG_DIRS", savedDirs_);
    }
    ScopedConfigDirs(const ScopedConfigDirs&) = delete;
    ScopedConfigDirs& operator=(const ScopedConfigDirs&) = delete;

    const std::filesystem::path& User() const { return user_; }
    const std::filesystem::path& Machine() const { return machine_; }

private:
    static std::optional<std::string> Get(const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void Restore(const char* name, const std::optional<std::string>& value) {
        if (value) ::setenv(name, value->c_str(), 1);
        else ::unsetenv(name);
    }

    std::filesystem::path user_;
    std::filesystem::path machine_;
    std::optional<std::string> savedHome_;
    std::optional<std::string> savedDirs_;
};

}  // namespace kv::test
