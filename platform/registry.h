#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/registry_text.h"

namespace kv::platform {

// The registry stand-in: one REGEDIT4 text file per hive. HKEY_CURRENT_USER and HKEY_CLASSES_ROOT live in
// $XDG_CONFIG_HOME/kavrel/registry/, HKEY_LOCAL_MACHINE (the machine-wide defaults) in the first folder of
// $XDG_CONFIG_DIRS + /kavrel/registry/, where only an administrator may write. Every call reads the file
// afresh, so programs see each other's writes at once; a write holds a lock beside the file around its
// read-change-write and replaces the file at once, so concurrent writers lose nothing. A missing or
// damaged file reads as empty. Key paths use "\" between their parts.
using HKEY = std::uint32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

// What reading a string gives for a missing value or one too long for the reader's buffer.
inline constexpr std::string_view kNotAvailable = "#not_availible#";
// The buffer a string is read into, terminating zero included.
inline constexpr std::size_t kRegStringBufferSize = 256;

// The hive's file, or "" for a handle that names no hive.
std::string HiveFileName(HKEY hive);

// The value, or nullopt when the key or the value is missing or the hive cannot be read.
std::optional<TRegValue> RegReadValue(HKEY hive, std::string_view keyPath, std::string_view valueName);
// Creates the key as needed; false when the hive cannot be written.
bool RegWriteValue(HKEY hive, std::string_view keyPath, std::string_view valueName, const TRegValue& value);

// A value as a string: kNotAvailable when it is no string or does not fit kRegStringBufferSize, else the
// text up to its first zero byte.
std::string RegValueAsString(const TRegValue& value);
// A value as a DWORD: -1 when it is none.
std::int64_t RegValueAsDWORD(const TRegValue& value);

// The primitives the program reads and writes settings with. A missing key reads as "", a missing or
// too long value as kNotAvailable.
std::string RegReadString(HKEY hive, std::string_view keyPath, std::string_view valueName);
// -1 when missing or not a DWORD.
std::int64_t RegReadDWORD(HKEY hive, std::string_view keyPath, std::string_view valueName);
// True only for a DWORD equal to 1.
bool RegReadBool(HKEY hive, std::string_view keyPath, std::string_view valueName);
bool RegWriteString(HKEY hive, std::string_view keyPath, std::string_view valueName, std::string_view text);
bool RegWriteDWORD(HKEY hive, std::string_view keyPath, std::string_view valueName, std::uint32_t value);
bool RegWriteBool(HKEY hive, std::string_view keyPath, std::string_view valueName, bool value);
bool RegWriteBinary(HKEY hive, std::string_view keyPath, std::string_view valueName,
                    std::span<const std::uint8_t> bytes);
bool RegValueExists(HKEY hive, std::string_view keyPath, std::string_view valueName);

}  // namespace kv::platform
