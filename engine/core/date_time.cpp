#include "engine/core/date_time.h"

#include <chrono>
#include <cmath>

namespace kv {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month_day;

constexpr sys_days kEpoch = sys_days{year{1899} / 12 / 30};
constexpr double kMsPerDay = 86'400'000.0;
// First and last day a date-time may name: 1 January 0001 and 31 December 9999.
const double kMinDay = static_cast<double>((sys_days{year{1} / 1 / 1} - kEpoch).count());
const double kMaxDay = static_cast<double>((sys_days{year{9999} / 12 / 31} - kEpoch).count());

}  // namespace

std::optional<TDateTime> EncodeDate(int y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
    const year_month_day date{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
    if (!date.ok()) return std::nullopt;
    return static_cast<double>((sys_days{date} - kEpoch).count());
}

std::optional<TDateTime> EncodeTime(int hour, int minute, int second, int milliSecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || milliSecond < 0 ||
        milliSecond > 999)
        return std::nullopt;
    return ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 / kMsPerDay + milliSecond / kMsPerDay;
}

std::optional<TDateTime> EncodeDateTime(const TDateTimeParts& p) {
    const auto date = EncodeDate(p.Year, p.Month, p.Day);
    const auto time = EncodeTime(p.Hour, p.Minute, p.Second, p.MilliSecond);
    if (!date || !time) return std::nullopt;
    // Before 30 December 1899 the day counts down while the time of day still counts up.
    return *date < 0 ? *date - *time : *date + *time;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
    if (std::isnan(value)) value = 0;
    value = std::fmin(std::fmax(value, kMinDay), kMaxDay + 0.99999999);
    double whole = std::trunc(value);
    auto ms = static_cast<long long>(std::llround(std::fabs(value - whole) * kMsPerDay));
    if (ms >= static_cast<long long>(kMsPerDay)) {
        // Rounded up to midnight: that is the start of the next day.
        ms = 0;
        whole = std::fmin(whole + 1, kMaxDay);
    }
    const year_month_day date{kEpoch + std::chrono::days{static_cast<long long>(whole)}};
    TDateTimeParts parts;
    parts.Year = static_cast<int>(date.year());
    parts.Month = static_cast<int>(static_cast<unsigned>(date.month()));
    parts.Day = static_cast<int>(static_cast<unsigned>(date.day()));
    parts.Hour = static_cast<int>(ms / 3'600'000);
    parts.Minute = static_cast<int>(ms / 60'000 % 60);
    parts.Second = static_cast<int>(ms / 1000 % 60);
    parts.MilliSecond = static_cast<int>(ms % 1000);
    return parts;
}

}  // namespace kv
