#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/config_dirs.h"
#include "platform/ini_file.h"
#include "platform/registry.h"

namespace kv {

// The user's preferences as named values in sections, kept either in the registry (under
// "Software\" + name + "\Config\" + section) or in an INI file, at the user's choice. Reads fall back to
// machine-wide defaults: HKEY_LOCAL_MACHINE in registry mode, the "kavrel.ini" beside the program in INI
// mode. The store choice is kept in HKEY_CURRENT_USER (and copied into the program folder's INI file) when
// the object is destroyed.
class TkvSettings {
public:
    // Create(Name): finds the store method, root and INI location that were chosen last. `programFolder`
    // is the folder of the running program unless given.
    explicit TkvSettings(std::string name, std::string programFolder = {});
    ~TkvSettings();
    TkvSettings(const TkvSettings&) = delete;
    TkvSettings& operator=(const TkvSettings&) = delete;

    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
    // True when written.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int value);
    bool WriteBool(std::string_view section, std::string_view key, bool value);

    // Switches the store for all later reads and writes; values are not carried over.
    void SetStoreMethod(bool registry);
    // The hive for later registry reads and writes: HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
    void SetRoot(platform::HKEY root);
    // Opens the INI file of a location word: "appdir" or "" (the program folder), "appdata" (the user's
    // configuration folder + name), or an absolute folder, created when missing. A folder that cannot be
    // created, or a relative one, gives the program folder.
    void SetIniLocation(const std::string& location);
    // An existing file is writable when the file and its folder may be written (it is replaced through its
    // folder); a missing one when it can be created, which it then is, empty.
    static bool IsWritable(const std::string& fileName);

    // Records the program's full path as the value "App" under the root, key "Software\" + name; the shell
    // extension starts the program from there.
    bool RecordProgramPath(const std::string& programFile = platform::RunningProgramFile()) const;

    bool UsesRegistry() const { return registry_; }
    platform::HKEY Root() const { return root_; }
    const std::string& IniLocation() const { return location_; }
    // The INI file of INI mode ("" before one was opened).
    std::string IniFileName() const { return ini_ ? ini_->FileName() : std::string(); }
    bool IniWritable() const { return iniWritable_; }
    const std::string& ProgramFolder() const { return programFolder_; }
    const std::string& Name() const { return name_; }

private:
    std::string KeyPath(std::string_view section) const;
    std::optional<platform::TRegValue> RegistryValue(std::string_view section, std::string_view key) const;
    // The INI file that holds the key: the user's, else the defaults beside the program; null when neither.
    const platform::TIniFile* IniSource(std::string_view section, std::string_view key) const;
    void PersistStoreChoice();

    std::string programFolder_;
    std::string name_;
    std::string basePath_;
    // INI file names use the name in lower case: the program ("kavrel") and the shell extension ("Kavrel")
    // must reach the same files on a case-sensitive file system.
    std::string fileStem_;
    platform::HKEY root_ = platform::HKEY_CURRENT_USER;
    bool registry_ = true;
    std::string location_;
    std::unique_ptr<platform::TIniFile> ini_;
    bool iniWritable_ = false;
    platform::TIniFile defaults_;
};

}  // namespace kv
