#include "platform/ini_file.h"

#include "platform/file_lock.h"

namespace kv::platform {

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

const TIniText& TIniFile::Current() const {
    // Stamped before reading: a change that comes in between is then seen by the next call.
    const TFileStamp stamp = FileStampOf(fileName_);
    if (!loaded_ || stamp != stamp_) {
        text_ = TIniText::Parse(ReadSmallFile(fileName_).Bytes);
        stamp_ = stamp;
        loaded_ = true;
    }
    return text_;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    auto value = Current().FindValue(section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    const auto value = Current().FindValue(section, key);
    return value ? ProfileInteger(*value) : defaultValue;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(std::string_view section) const { return Current().SectionExists(section); }

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
    return Current().FindValue(section, key).has_value();
}

std::vector<std::string> TIniFile::SectionNames() const { return Current().SectionNames(); }

std::vector<std::string> TIniFile::KeyNames(std::string_view section) const { return Current().KeyNames(section); }

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const TFileLock lock(LockFileNameFor(fileName_));
    if (!lock.Locked()) return false;
    const TSmallFile file = ReadSmallFile(fileName_);
    if (file.Status == TSmallFileStatus::sfUnreadable) return false;
    TIniText text = TIniText::Parse(file.Bytes);
    if (!text.SetValue(section, key, value) || !ReplaceSmallFile(fileName_, text.Format())) return false;
    loaded_ = false;  // the next read takes the file as it is now
    return true;
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

}  // namespace kv::platform
