#include "app/settings/kv_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/ascii_case.h"
#include "platform/config_dirs.h"
#include "platform/paths.h"

namespace kv {
namespace {

using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;

constexpr std::string_view kSettingsSection = "Settings";
constexpr std::string_view kStoreMethod = "StoreMethod";
constexpr std::string_view kSettingsRoot = "SettingsRoot";
constexpr std::string_view kIniLocation = "IniLocation";
constexpr int kStoreRegistry = 1;
constexpr int kStoreIni = 2;

std::string FolderOfProgram() { return platform::ExtractFilePath(platform::RunningProgramFile()); }

bool KnownRoot(std::int64_t root) { return root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE; }

bool MakeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return !error && platform::DirectoryExists(folder);
}

}  // namespace

TkvSettings::TkvSettings(std::string name, std::string programFolder)
    : programFolder_(platform::IncludeTrailingDelimiter(programFolder.empty() ? FolderOfProgram() : programFolder)),
      name_(std::move(name)),
      basePath_("Software\\" + name_ + "\\Config\\"),
      fileStem_(platform::AsciiLowerCase(name_)),
      defaults_(programFolder_ + fileStem_ + ".ini") {
    const std::string settingsKey = KeyPath(kSettingsSection);
    std::optional<std::string> location;
    const std::int64_t method = platform::RegReadDWORD(HKEY_CURRENT_USER, settingsKey, kStoreMethod);
    if (method == kStoreRegistry || method == kStoreIni) {
        registry_ = method == kStoreRegistry;
        if (!registry_) {
            if (const auto stored = platform::RegReadValue(HKEY_CURRENT_USER, settingsKey, kIniLocation)) {
                location = platform::RegValueAsString(*stored);
            }
        }
    } else {
        registry_ = !platform::FileExists(defaults_.FileName()) ||
                    defaults_.ReadInteger(kSettingsSection, kStoreMethod, kStoreRegistry) != kStoreIni;
    }

    if (!registry_) {
        SetIniLocation(location ? *location : defaults_.ReadString(kSettingsSection, kIniLocation, ""));
        return;
    }
    for (const platform::HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (const auto root = platform::RegReadValue(hive, settingsKey, kSettingsRoot)) {
            // A stored handle that names neither store is damage, not a choice.
            const std::int64_t value = platform::RegValueAsDWORD(*root);
            if (KnownRoot(value)) root_ = static_cast<platform::HKEY>(value);
            break;
        }
    }
}

TkvSettings::~TkvSettings() {
    try {
        PersistStoreChoice();
    } catch (...) {
        // Nothing may leave a destructor; the choice is simply not kept.
    }
}

void TkvSettings::PersistStoreChoice() {
    const std::string settingsKey = KeyPath(kSettingsSection);
    const int method = registry_ ? kStoreRegistry : kStoreIni;
    platform::RegWriteDWORD(HKEY_CURRENT_USER, settingsKey, kStoreMethod, method);
    platform::RegWriteDWORD(HKEY_CURRENT_USER, settingsKey, kSettingsRoot, root_);
    platform::RegWriteString(HKEY_CURRENT_USER, settingsKey, kIniLocation, location_);
    if (IsWritable(defaults_.FileName())) {
        defaults_.WriteInteger(kSettingsSection, kStoreMethod, method);
        defaults_.WriteString(kSettingsSection, kIniLocation, location_);
    }
}

std::string TkvSettings::KeyPath(std::string_view section) const { return basePath_ + std::string(section); }

std::optional<platform::TRegValue> TkvSettings::RegistryValue(std::string_view section, std::string_view key) const {
    const std::string keyPath = KeyPath(section);
    if (auto value = platform::RegReadValue(root_, keyPath, key)) return value;
    return platform::RegReadValue(HKEY_LOCAL_MACHINE, keyPath, key);
}

const platform::TIniFile* TkvSettings::IniSource(std::string_view section, std::string_view key) const {
    if (ini_ && ini_->ValueExists(section, key)) return ini_.get();
    if (defaults_.ValueExists(section, key)) return &defaults_;
    return nullptr;
}

std::string TkvSettings::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    if (registry_) {
        const auto value = RegistryValue(section, key);
        return value ? platform::RegValueAsString(*value) : std::string(defaultValue);
    }
    const platform::TIniFile* source = IniSource(section, key);
    return source ? source->ReadString(section, key, defaultValue) : std::string(defaultValue);
}

int TkvSettings::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    if (registry_) {
        const auto value = RegistryValue(section, key);
        // A DWORD holds the Integer's bits; reading it as one gives negative numbers back.
        return value ? static_cast<int>(static_cast<std::uint32_t>(platform::RegValueAsDWORD(*value))) : defaultValue;
    }
    const platform::TIniFile* source = IniSource(section, key);
    return source ? source->ReadInteger(section, key, defaultValue) : defaultValue;
}

bool TkvSettings::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    if (registry_) {
        const auto value = RegistryValue(section, key);
        return value ? platform::RegValueAsDWORD(*value) == 1 : defaultValue;
    }
    const platform::TIniFile* source = IniSource(section, key);
    return source ? source->ReadBool(section, key, defaultValue) : defaultValue;
}

bool TkvSettings::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (registry_) return platform::RegWriteString(root_, KeyPath(section), key, value);
    return ini_ && iniWritable_ && ini_->WriteString(section, key, value);
}

bool TkvSettings::WriteInteger(std::string_view section, std::string_view key, int value) {
    if (registry_) return platform::RegWriteDWORD(root_, KeyPath(section), key, static_cast<std::uint32_t>(value));
    return ini_ && iniWritable_ && ini_->WriteInteger(section, key, value);
}

bool TkvSettings::WriteBool(std::string_view section, std::string_view key, bool value) {
    if (registry_) return platform::RegWriteBool(root_, KeyPath(section), key, value);
    return ini_ && iniWritable_ && ini_->WriteBool(section, key, value);
}

void TkvSettings::SetStoreMethod(bool registry) {
    registry_ = registry;
    // INI mode needs its file; a store that started in registry mode has none open yet.
    if (!registry_ && !ini_) SetIniLocation(location_);
}

void TkvSettings::SetRoot(platform::HKEY root) {
    if (KnownRoot(root)) root_ = root;
}

void TkvSettings::SetIniLocation(const std::string& location) {
    const std::string word = platform::AsciiLowerCase(location);
    std::string folder;
    if (word.empty() || word == "appdir") {
        folder = programFolder_;
    } else if (word == "appdata") {
        folder = platform::UserConfigDirectory() + platform::kPathDelim + fileStem_ + platform::kPathDelim;
    } else if (location.front() == platform::kPathDelim) {
        folder = platform::IncludeTrailingDelimiter(location);
    }
    if (folder.empty() || !MakeFolder(folder)) folder = programFolder_;
    ini_ = std::make_unique<platform::TIniFile>(folder + fileStem_ + ".ini");
    iniWritable_ = IsWritable(ini_->FileName());
    location_ = location.empty() ? "appdir" : location;
}

bool TkvSettings::IsWritable(const std::string& fileName) {
    const std::string folder = platform::ExtractFilePath(fileName);
    const std::string folderToCheck = folder.empty() ? "." : folder;
    struct stat info {};
    if (::stat(fileName.c_str(), &info) == 0) {
        return S_ISREG(info.st_mode) && ::access(fileName.c_str(), W_OK) == 0 &&
               ::access(folderToCheck.c_str(), W_OK) == 0;
    }
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool TkvSettings::RecordProgramPath(const std::string& programFile) const {
    return platform::RegWriteString(root_, "Software\\" + name_, "App", programFile);
}

}  // namespace kv
