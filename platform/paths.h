#pragma once

#include <string>
#include <string_view>

namespace kv::platform {

// The path delimiter of disk paths and of entry names inside the program.
inline constexpr char kPathDelim = '/';

// Appends the delimiter unless the path already ends with it (an empty path stays empty).
std::string IncludeTrailingDelimiter(std::string_view path);
// The folder part of a path, with its trailing delimiter ("" when there is none).
std::string ExtractFilePath(std::string_view path);
// The extension with its dot ("" when there is none).
std::string ExtractFileExt(std::string_view path);
// Turns the documented "\" (and "/") into the delimiter.
std::string ToNativeDelimiters(std::string_view path);

bool FileExists(const std::string& path);       // a file that is not a folder
bool DirectoryExists(const std::string& path);
std::string CurrentDirectory();                 // with its trailing delimiter
// The path made absolute against the current folder and normalised; as given when that fails.
std::string AbsolutePath(const std::string& path);
std::string SystemTempDirectory();              // with its trailing delimiter
std::string LoginName();

}  // namespace kv::platform
