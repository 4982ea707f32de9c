#pragma once

#include <string>

namespace kv {

// Volume numbers have three digits in their names.
inline constexpr int kMaxSpanVolumes = 999;

// The file name of volume `disk` (counted from 0) of a spanned set named `name`.
// Compatible naming: the last disk keeps ".zip", the others get ".z01" to ".z99" (".z00" for the 100th).
// Otherwise the number goes before the extension in three digits ("a001.zip"); when `name` already is such
// a volume name, its three digits are replaced.
std::string SpanVolumeFileName(const std::string& name, int disk, bool last_disk, bool compat_name,
                               bool name_is_numbered = false);

// The disk number a "PKBACK# nnn" volume label carries (1 when the characters are not a number).
int DiskNumberFromLabel(const std::string& label);

// The number of the digits `count` characters long at `pos`; -1 unless all of them are digits.
int ParseDigits(const std::string& text, std::size_t pos, std::size_t count);

// The name with its extension (from the last "." of the file part) replaced by `extension`.
std::string ChangeFileExt(const std::string& name, const std::string& extension);

}  // namespace kv
