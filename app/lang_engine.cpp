#include "app/lang_engine.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/settings/kv_settings.h"
#include "engine/core/text_case.h"
#include "platform/ini_file.h"

namespace kv::app {
namespace {

namespace fs = std::filesystem;

// The longest value a language file holds, and the longest key a reference names.
constexpr std::size_t kMaxValue = 2047;
constexpr std::size_t kMaxReference = 1000;

// "%n" in any case stands for a line break.
std::string WithLineBreaks(std::string text) {
    for (std::size_t at = 0; (at = text.find('%', at)) != std::string::npos;) {
        if (at + 1 < text.size() && (text[at + 1] == 'n' || text[at + 1] == 'N')) text.replace(at, 2, "\n");
        else ++at;
    }
    return text;
}

// The language files of the folder, by name: a directory listing has no order of its own here.
std::vector<std::string> IniFilesIn(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const fs::directory_entry& item : fs::directory_iterator(folder, error)) {
        if (item.is_regular_file(error) && EndsWithText(item.path().filename().string(), ".ini"))
            files.push_back(item.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TLangEngine::TLangEngine(TkvSettings& settings, std::string language_dir)
    : settings_(settings), language_dir_(std::move(language_dir)) {}

TLangEngine::~TLangEngine() = default;

std::unique_ptr<TLangEngine> TLangEngine::Create(const std::string& program_folder, TkvSettings& settings,
                                                 std::string& error) {
    std::unique_ptr<TLangEngine> engine(new TLangEngine(settings, program_folder + "languages/"));
    for (const std::string& path : IniFilesIn(engine->language_dir_)) {
        const std::string name = platform::TIniFile(path).ReadString("Translation", "LANGUAGE", kMissing);
        if (name == kMissing) continue;
        engine->language_files_.push_back(path);
        engine->language_names_.push_back(name);
    }
    if (engine->language_files_.empty()) {
        error = kNoLanguageFile;
        return nullptr;
    }
    const std::string chosen =
        settings.ReadString("Settings", "Language-Ini", engine->language_dir_ + "english.ini");
    const auto found = std::find_if(engine->language_files_.begin(), engine->language_files_.end(),
                                    [&](const std::string& path) { return SameText(path, chosen); });
    engine->language_index_ =
        found == engine->language_files_.end() ? 0 : static_cast<int>(found - engine->language_files_.begin());
    engine->file_ = std::make_unique<platform::TIniFile>(engine->language_files_[engine->language_index_]);
    return engine;
}

std::string TLangEngine::Read(const std::string& section, const std::string& key, const std::string& missing) const {
    std::string text = file_->ReadString(section, key, missing);
    if (text.size() > kMaxValue) text.resize(kMaxValue);
    return text;
}

std::string TLangEngine::GetText(const std::string& section, const std::string& key) const {
    const std::string text = WithLineBreaks(Read(section, key, kMissing));
    if (text.empty() || text.front() != '#') return text;
    // A reference: the text of another key, in this section or else in "Common", used as found.
    const std::string reference = text.substr(1, kMaxReference);
    std::string result = Read(section, reference, kDanglingReference);
    if (result == kDanglingReference) result = Read("Common", reference, kDanglingReference);
    if (result == kDanglingReference && OnInformation) {
        OnInformation("Your Language-Inifile \"" + language_files_[language_index_] +
                      "\" is corrupted!\nPlease get a working one from " + kVendorAddress);
    }
    return result;
}

std::string TLangEngine::GetMessage(const std::string& key) const { return GetText("Messages", key); }

void TLangEngine::GetMessage(const std::string& key, std::string& text) const { text = GetMessage(key); }

std::optional<std::string> TLangEngine::FormText(const std::string& section, const std::string& key) const {
    std::string text = WithLineBreaks(Read(section, key, kMissing));
    if (!text.empty() && text.front() == '#') {
        // Forms look in "Common" first: shared captions are what references are for.
        const std::string reference = text.substr(1, kMaxReference);
        text = Read("Common", reference, kMissing);
        if (text == kMissing) text = Read(section, reference, kMissing);
    }
    if (text == kMissing) return std::nullopt;
    return text;
}

void TLangEngine::SetLanguage(int index) {
    if (index < 0 || index >= static_cast<int>(language_files_.size())) return;
    const std::string& path = language_files_[index];
    if (settings_.ReadString("Settings", "Language-Ini", kMissing) == path) return;
    settings_.WriteString("Settings", "Language-Ini", path);
    if (Restart) Restart();
}

}  // namespace kv::app
