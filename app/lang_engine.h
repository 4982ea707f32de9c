#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/kv_object.h"

namespace kv::platform {
class TIniFile;
}

namespace kv {
class TkvSettings;
}

namespace kv::app {


// Every text the program shows, from the language file the user chose: texts by section and key, the
// message texts, and the texts forms are translated with. Language files are INI files in the folder
// "languages" beside the program.
class TLangEngine : public TObject {
public:
    // What Create reports when there is no usable language file at all.
    static constexpr const char* kNoLanguageFile = "No valid Language-Inifile available! Please reinstall Kavrel!";
    // The text of a key the file does not have.
    static constexpr const char* kMissing = "error";
    // The text of a reference that leads nowhere.
    static constexpr const char* kDanglingReference = "iniError";
    // Where the corrupted-file message sends the user.
    static constexpr const char* kVendorAddress = "https://kavrel.org";

    // Finds the language files in `program_folder` + "languages/" and opens the one the settings name
    // (the first one found when that one is not usable). Null, with `error` set, when there is none.
    static std::unique_ptr<TLangEngine> Create(const std::string& program_folder, TkvSettings& settings,
                                               std::string& error);
    ~TLangEngine() override;

    std::string GetText(const std::string& section, const std::string& key) const;
    std::string GetMessage(const std::string& key) const;
    void GetMessage(const std::string& key, std::string& text) const;
    // The text a form's component gets: references are looked up in "Common" first, then in the form's
    // own section. None when there is none (the component keeps its own text).
    std::optional<std::string> FormText(const std::string& section, const std::string& key) const;

    // Makes the language at `index` of LanguageNames the chosen one: it is written to the settings and the
    // program restarts through Restart. Nothing happens when it is the chosen one already.
    void SetLanguage(int index);

    const std::string& LanguageDir() const { return language_dir_; }
    const std::vector<std::string>& LanguageFiles() const { return language_files_; }
    const std::vector<std::string>& LanguageNames() const { return language_names_; }
    int LanguageIndex() const { return language_index_; }

    // Shows the information box about a damaged language file; unset: nothing is shown.
    std::function<void(const std::string& text)> OnInformation;
    // Starts the program anew and ends this one.
    std::function<void()> Restart;

private:
    TLangEngine(TkvSettings& settings, std::string language_dir);
    std::string Read(const std::string& section, const std::string& key, const std::string& missing) const;

    TkvSettings& settings_;
    std::string language_dir_;
    std::vector<std::string> language_files_;
    std::vector<std::string> language_names_;
    int language_index_ = -1;
    std::unique_ptr<platform::TIniFile> file_;
};

}  // namespace kv::app
