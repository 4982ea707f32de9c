#pragma once

#include <optional>

namespace kv {

using TDateTime = double;  // days since 30 December 1899; the fraction is the time of day

// The parts of a date-time on the Gregorian calendar.
struct TDateTimeParts {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int MilliSecond = 0;
    bool operator==(const TDateTimeParts&) const = default;
};

// Day number of a calendar date (years 1 to 9999); nothing when the date does not exist.
std::optional<TDateTime> EncodeDate(int year, int month, int day);
// Fraction of a day; nothing when a part is out of range (hour 0-23, minute and second 0-59, ms 0-999).
std::optional<TDateTime> EncodeTime(int hour, int minute, int second, int milliSecond = 0);
// Both of the above added; nothing when either is invalid.
std::optional<TDateTime> EncodeDateTime(const TDateTimeParts& parts);
// The calendar parts of a date-time, rounded to the millisecond. Values outside years 1 to 9999 (and NaN)
// are clamped into that range so callers never meet an impossible calendar.
TDateTimeParts DecodeDateTime(TDateTime value);

}  // namespace kv
