#include "engine/core/dates.h"

#include <limits>
#include <optional>

namespace kv {
namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
// 1 January 1970 as a day number.
constexpr std::int64_t kUnixEpochDay = 25'569;
// Last second of 31 December 9999 UTC; a date-time names nothing later.
constexpr std::int64_t kMaxUnixSeconds = 253'402'300'799;
// First second of 2 January 1 UTC: a day of margin keeps the local date inside year 1.
constexpr std::int64_t kMinUnixSeconds = -62'135'510'400;

constexpr std::uint32_t kMinDosDate = 0x00210000;  // 1 January 1980, 00:00:00
constexpr std::uint32_t kMaxDosDate = 0xFF9FBF7D;  // 31 December 2107, 23:59:58

std::uint32_t PackDosDateTime(const TDateTimeParts& p) {
    if (p.Year < 1980) return kMinDosDate;
    if (p.Year > 2107) return kMaxDosDate;
    const auto date = static_cast<std::uint32_t>(((p.Year - 1980) << 9) | (p.Month << 5) | p.Day);
    const auto time = static_cast<std::uint32_t>((p.Hour << 11) | (p.Minute << 5) | (p.Second / 2));
    return (date << 16) | time;
}

// The time-zone offset east of UTC, in seconds, that applies at `utcSeconds`.
std::int64_t LocalBias(std::int64_t utcSeconds) {
    const auto t = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    if (::localtime_r(&t, &local) == nullptr) return 0;
    return local.tm_gmtoff;
}

}  // namespace

TDateTime DosDateTimeToDateTime(std::uint32_t value) {
    if (value < kMinDosDateTime) value = kMinDosDateTime;
    TDateTimeParts p;
    p.Year = static_cast<int>(value >> 25) + 1980;
    p.Month = static_cast<int>((value >> 21) & 0x0F);
    p.Day = static_cast<int>((value >> 16) & 0x1F);
    p.Hour = static_cast<int>((value >> 11) & 0x1F);
    p.Minute = static_cast<int>((value >> 5) & 0x3F);
    p.Second = static_cast<int>(value & 0x1F) * 2;
    return EncodeDateTime(p).value_or(kFallbackFileDate);
}

std::uint32_t DateTimeToDosDateTime(TDateTime value) { return PackDosDateTime(DecodeDateTime(value)); }

TDateTime UnixTimeToDateTime(std::int64_t seconds) {
    if (seconds == 0) return kFallbackFileDate;
    // The lowest value has no positive counterpart, and lies far beyond year 9999 anyway.
    if (seconds == std::numeric_limits<std::int64_t>::min()) return kFallbackFileDate;
    if (seconds < 0) seconds = -seconds;
    return LocalDateTimeOf(seconds);
}

TDateTime LocalDateTimeOf(std::int64_t seconds) {
    if (seconds > kMaxUnixSeconds || seconds < kMinUnixSeconds) return kFallbackFileDate;

    const std::int64_t local = seconds + LocalBias(seconds);
    // Floor division keeps the time of day positive should the bias step below 1970.
    const std::int64_t day = local / kSecondsPerDay - (local % kSecondsPerDay < 0 ? 1 : 0);
    const std::int64_t secondOfDay = local - day * kSecondsPerDay;
    const double dayNumber = static_cast<double>(kUnixEpochDay + day);
    const double timeOfDay = *EncodeTime(static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                                         static_cast<int>(secondOfDay % 60));
    return dayNumber + timeOfDay;
}

std::time_t DateTimeToFileTime(TDateTime value) {
    const TDateTimeParts p = DecodeDateTime(value);
    std::tm local{};
    local.tm_year = p.Year - 1900;
    local.tm_mon = p.Month - 1;
    local.tm_mday = p.Day;
    local.tm_hour = p.Hour;
    local.tm_min = p.Minute;
    local.tm_sec = p.Second;
    local.tm_isdst = -1;  // the zone's rule for that date decides

    // The local fields read as UTC, less the zone's offset in force then: the offset near that moment, or the
    // one the first guess landed in. mktime finds the same moment but asks the system for the zone file on
    // every call, which costs a file-system look-up per extracted file; it stays for the times the guesses
    // miss (those a clock change skips).
    const std::optional<TDateTime> day = EncodeDate(p.Year, p.Month, p.Day);
    if (day) {
        const std::int64_t as_utc = (static_cast<std::int64_t>(*day) - kUnixEpochDay) * kSecondsPerDay +
                                    p.Hour * 3600 + p.Minute * 60 + p.Second;
        std::int64_t bias = LocalBias(as_utc);
        for (int guess = 0; guess < 2; ++guess) {
            const auto t = static_cast<std::time_t>(as_utc - bias);
            std::tm found{};
            if (::localtime_r(&t, &found) == nullptr) break;
            if (found.tm_year == local.tm_year && found.tm_mon == local.tm_mon && found.tm_mday == local.tm_mday &&
                found.tm_hour == local.tm_hour && found.tm_min == local.tm_min && found.tm_sec == local.tm_sec)
                return t;
            bias = found.tm_gmtoff;
        }
    }
    return ::mktime(&local);
}

std::uint32_t FileTimeToDosDateTime(std::time_t fileTime) {
    std::tm local{};
    if (::localtime_r(&fileTime, &local) == nullptr) return fileTime < 0 ? kMinDosDate : kMaxDosDate;
    TDateTimeParts p;
    p.Year = local.tm_year + 1900;
    p.Month = local.tm_mon + 1;
    p.Day = local.tm_mday;
    p.Hour = local.tm_hour;
    p.Minute = local.tm_min;
    p.Second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second stays within the minute
    return PackDosDateTime(p);
}

}  // namespace kv
