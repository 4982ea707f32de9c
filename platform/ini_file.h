#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/ini_text.h"
#include "platform/small_file.h"

namespace kv::platform {

// An INI file read and written with the profile rules of TIniText. Reads use the copy in memory and
// reload it first when the file changed on disk, so other programs' writes are seen at once. A write
// holds a lock beside the file, applies the change to the file as it is then, and replaces the file at
// once: two programs writing the same file lose nothing. A missing, unreadable or damaged file reads as
// empty; a file that exists but cannot be read is never overwritten.
class TIniFile {
public:
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    // A value that is there but holds no number reads as 0 (ProfileInteger).
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // 0 is False, any other number True.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(std::string_view section) const;

    // True when the value is on disk.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int value);
    // Written as 1 or 0.
    bool WriteBool(std::string_view section, std::string_view key, bool value);

private:
    const TIniText& Current() const;

    std::string fileName_;
    mutable TIniText text_;
    mutable TFileStamp stamp_;
    mutable bool loaded_ = false;
};

}  // namespace kv::platform
