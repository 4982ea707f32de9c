#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outside/zip_engine_records.h"

namespace kv::zipeng {

// A record's "flag" fields hold -1 for true; anything non-zero counts.
inline bool Flag(std::int32_t value) { return value != 0; }
inline std::string Text(const char* text) { return text == nullptr ? std::string() : std::string(text); }

// ".gif:.png:.zip" (":" or ";" between them) as a list of upper-cased suffixes.
std::vector<std::string> ParseStoreSuffixes(const char* list);
// Whether the name ends with one of the suffixes (compared case-insensitively).
bool HasStoreSuffix(std::string_view name, const std::vector<std::string>& suffixes);
// "mm dd yy" as an MS-DOS date/time at the start of that day (years below 80 are 20yy); nothing when the
// text is no such date.
std::optional<std::uint32_t> ParseFromDate(const char (&text)[8]);
// A name made safe to store: "\" becomes "/", and empty, "." and ".." parts and a drive are dropped, so it
// never climbs out of the folder it is extracted into.
std::string SafeStoredName(std::string_view name);

}  // namespace kv::zipeng
