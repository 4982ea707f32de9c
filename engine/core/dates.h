#pragma once

#include <cstdint>
#include <ctime>

#include "engine/core/date_time.h"

namespace kv {

// 1 January 1980, 00:01:00: what an unusable stored date becomes.
inline constexpr TDateTime kFallbackFileDate = 29221.0 + 60.0 / 86400.0;
// The smallest MS-DOS date/time taken as it is (1 January 1980, 00:01:00); smaller values are raised to it.
inline constexpr std::uint32_t kMinDosDateTime = 0x00210020;

// MS-DOS date/time (date in the high 16 bits) to a date-time; an impossible date or time gives kFallbackFileDate.
TDateTime DosDateTimeToDateTime(std::uint32_t value);
// A date-time to MS-DOS date/time. Seconds are rounded down to even; dates before 1980 give 1 January 1980
// 00:00:00 and dates after 2107 give 31 December 2107 23:59:58, the ends of what the format can hold.
std::uint32_t DateTimeToDosDateTime(TDateTime value);
// Exchanges the halves of a date/time read with the date word first (ARC, PAK, ZOO, CAB, MsGZ).
constexpr std::uint32_t SwapDosDate(std::uint32_t value) { return (value << 16) | (value >> 16); }

// Seconds since 1 January 1970 UTC to local date-time, with the time-zone bias in force on that date.
// 0 gives kFallbackFileDate; a negative value counts by its size; beyond year 9999 gives kFallbackFileDate.
TDateTime UnixTimeToDateTime(std::int64_t seconds);

// Seconds since 1 January 1970 UTC (negative before) to local date-time, exactly; outside years 1 to 9999
// gives kFallbackFileDate.
TDateTime LocalDateTimeOf(std::int64_t seconds);
// A local date-time to seconds since 1970 UTC (the inverse of UnixTimeToDateTime, for setting file times).
std::time_t DateTimeToFileTime(TDateTime value);

// A file-system time (seconds since 1970 UTC) as local MS-DOS date/time, clamped like DateTimeToDosDateTime.
std::uint32_t FileTimeToDosDateTime(std::time_t fileTime);

}  // namespace kv
