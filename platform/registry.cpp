#include "platform/registry.h"

#include <filesystem>
#include <system_error>

#include "platform/config_dirs.h"
#include "platform/file_lock.h"
#include "platform/small_file.h"

namespace kv::platform {
namespace {

std::string_view HiveName(HKEY hive) {
    switch (hive) {
        case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
        case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
        case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
        default: return {};
    }
}

// The hive as it is on disk; nullopt when it exists but cannot be read (a write must not replace it then).
std::optional<TRegHiveText> LoadHive(HKEY hive) {
    const std::string fileName = HiveFileName(hive);
    if (fileName.empty()) return std::nullopt;
    const TSmallFile file = ReadSmallFile(fileName);
    if (file.Status == TSmallFileStatus::sfUnreadable) return std::nullopt;
    return TRegHiveText::Parse(file.Bytes, HiveName(hive));
}

template <typename Change>
bool UpdateHive(HKEY hive, Change&& change) {
    const std::string fileName = HiveFileName(hive);
    if (fileName.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(fileName).parent_path(), error);
    if (error) return false;
    const TFileLock lock(LockFileNameFor(fileName));
    if (!lock.Locked()) return false;
    std::optional<TRegHiveText> text = LoadHive(hive);
    if (!text) return false;
    change(*text);
    return ReplaceSmallFile(fileName, text->Format(HiveName(hive)));
}

}  // namespace

std::string HiveFileName(HKEY hive) {
    const std::string_view name = HiveName(hive);
    if (name.empty()) return {};
    const std::string folder = hive == HKEY_LOCAL_MACHINE ? MachineConfigDirectory() : UserConfigDirectory();
    return folder + "/kavrel/registry/" + std::string(name) + ".reg";
}

std::optional<TRegValue> RegReadValue(HKEY hive, std::string_view keyPath, std::string_view valueName) {
    const auto text = LoadHive(hive);
    if (!text) return std::nullopt;
    const TRegValue* value = text->FindValue(keyPath, valueName);
    return value ? std::optional<TRegValue>(*value) : std::nullopt;
}

bool RegWriteValue(HKEY hive, std::string_view keyPath, std::string_view valueName, const TRegValue& value) {
    return UpdateHive(hive, [&](TRegHiveText& text) { text.SetValue(keyPath, valueName, value); });
}

std::string RegValueAsString(const TRegValue& value) {
    if (value.Type != TRegValueType::rvString || value.Text.size() + 1 > kRegStringBufferSize) {
        return std::string(kNotAvailable);
    }
    return value.Text.substr(0, value.Text.find('\0'));
}

std::int64_t RegValueAsDWORD(const TRegValue& value) {
    return value.Type == TRegValueType::rvDWord ? static_cast<std::int64_t>(value.DWord) : -1;
}

std::string RegReadString(HKEY hive, std::string_view keyPath, std::string_view valueName) {
    const auto text = LoadHive(hive);
    if (!text || !text->KeyExists(keyPath)) return {};
    const TRegValue* value = text->FindValue(keyPath, valueName);
    return value ? RegValueAsString(*value) : std::string(kNotAvailable);
}

std::int64_t RegReadDWORD(HKEY hive, std::string_view keyPath, std::string_view valueName) {
    const auto value = RegReadValue(hive, keyPath, valueName);
    return value ? RegValueAsDWORD(*value) : -1;
}

bool RegReadBool(HKEY hive, std::string_view keyPath, std::string_view valueName) {
    return RegReadDWORD(hive, keyPath, valueName) == 1;
}

bool RegWriteString(HKEY hive, std::string_view keyPath, std::string_view valueName, std::string_view text) {
    TRegValue value;
    // A reader stops at the first zero byte; what follows it would never come back.
    value.Text = std::string(text.substr(0, text.find('\0')));
    return RegWriteValue(hive, keyPath, valueName, value);
}

bool RegWriteDWORD(HKEY hive, std::string_view keyPath, std::string_view valueName, std::uint32_t number) {
    TRegValue value;
    value.Type = TRegValueType::rvDWord;
    value.DWord = number;
    return RegWriteValue(hive, keyPath, valueName, value);
}

bool RegWriteBool(HKEY hive, std::string_view keyPath, std::string_view valueName, bool flag) {
    return RegWriteDWORD(hive, keyPath, valueName, flag ? 1 : 0);
}

bool RegWriteBinary(HKEY hive, std::string_view keyPath, std::string_view valueName,
                    std::span<const std::uint8_t> bytes) {
    TRegValue value;
    value.Type = TRegValueType::rvBinary;
    value.Bytes.assign(bytes.begin(), bytes.end());
    return RegWriteValue(hive, keyPath, valueName, value);
}

bool RegValueExists(HKEY hive, std::string_view keyPath, std::string_view valueName) {
    return RegReadValue(hive, keyPath, valueName).has_value();
}

}  // namespace kv::platform
