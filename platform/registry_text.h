#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::platform {

enum class TRegValueType { rvString, rvDWord, rvBinary };

// One registry value: REG_SZ text, a REG_DWORD or REG_BINARY bytes.
struct TRegValue {
    TRegValueType Type = TRegValueType::rvString;
    std::string Text;
    std::uint32_t DWord = 0;
    std::vector<std::uint8_t> Bytes;

    bool operator==(const TRegValue&) const = default;
};

// The keys and values of one hive in the REGEDIT4 text form:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\kavrel\Config\Visual]
//   "RowSelect"="0"
//   "Count"=dword:0000000a
//   "Blob"=hex:01,ff
//   @="the key's default value"
//
// Key paths and value names match case-insensitively and keep the case they were first written with.
// Strings escape "\" and the quote as \\ and \", and line breaks as \n and \r so that a value cannot
// break the file. Lines that do not parse are skipped: a damaged file loses those lines, nothing else.
class TRegHiveText {
public:
    // `hiveName` is the prefix of the key headers ("HKEY_CURRENT_USER"); keys of another hive are skipped.
    static TRegHiveText Parse(std::string_view text, std::string_view hiveName);
    std::string Format(std::string_view hiveName) const;

    bool KeyExists(std::string_view keyPath) const;
    // Null when the key or the value is missing; "" names the default value.
    const TRegValue* FindValue(std::string_view keyPath, std::string_view valueName) const;
    // Creates the key as needed.
    void SetValue(std::string_view keyPath, std::string_view valueName, const TRegValue& value);

private:
    struct TKey {
        std::string Path;
        std::vector<std::pair<std::string, TRegValue>> Values;
    };
    TKey* FindKey(std::string_view keyPath);
    const TKey* FindKey(std::string_view keyPath) const;

    std::vector<TKey> keys_;
};

// A key path as stored: without leading and trailing "\".
std::string_view NormalizedKeyPath(std::string_view keyPath);

}  // namespace kv::platform
