#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "engine/core/date_time.h"
#include "engine/core/dates.h"
#include "engine/core/octal_field.h"

namespace kv {
namespace {

// Half a millisecond: what separates two distinct date-times we care about.
constexpr double kTolerance = 0.5 / 86'400'000.0;

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return *EncodeDateTime({y, mo, d, h, mi, s, 0});
}

// Runs a test under a fixed time zone (POSIX rules, so no zone database is needed) and restores the old one.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (old_) ::setenv("TZ", old_->c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

constexpr char kCentralEurope[] = "CET-1CEST,M3.5.0,M10.5.0/3";

TEST(Calendar, EncodesAndDecodesGregorianDates) {
    EXPECT_DOUBLE_EQ(*EncodeDate(1980, 1, 1), 29221);
    EXPECT_DOUBLE_EQ(*EncodeDate(2024, 3, 15), 45366);
    EXPECT_TRUE(EncodeDate(2000, 2, 29));
    EXPECT_FALSE(EncodeDate(1900, 2, 29));  // a century that is not a leap year
    EXPECT_FALSE(EncodeDate(2023, 2, 29));
    EXPECT_FALSE(EncodeDate(2024, 4, 31));
    EXPECT_FALSE(EncodeTime(24, 0, 0));
    EXPECT_FALSE(EncodeTime(0, 0, 60));

    EXPECT_EQ(DecodeDateTime(At(2024, 3, 15, 13, 45, 30)), (TDateTimeParts{2024, 3, 15, 13, 45, 30, 0}));
    // Before the day-zero the day counts down but the time of day still counts up.
    EXPECT_EQ(DecodeDateTime(-1.25), (TDateTimeParts{1899, 12, 29, 6, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(At(1899, 12, 29, 6), -1.25);
    // A value a hair before midnight rounds to the next day, never to an hour of 24.
    EXPECT_EQ(DecodeDateTime(45366.9999999999), (TDateTimeParts{2024, 3, 16, 0, 0, 0, 0}));
    EXPECT_EQ(DecodeDateTime(std::numeric_limits<double>::infinity()).Year, 9999);
    EXPECT_EQ(DecodeDateTime(std::numeric_limits<double>::quiet_NaN()), TDateTimeParts{});
}

TEST(DosDate, ConvertsValidAndRejectsInvalidValues) {
    struct Case {
        std::uint32_t dos;
        TDateTime expected;
    };
    const Case cases[] = {
        {0x586F6DAF, At(2024, 3, 15, 13, 45, 30)},
        {0x00210020, kFallbackFileDate},
        {0, kFallbackFileDate},                // raised to 1 January 1980 00:01:00
        {0x00210000, kFallbackFileDate},       // below the floor: raised as well
        {0xFFFFFFFF, kFallbackFileDate},       // month 15
        {0x565D0000, kFallbackFileDate},       // 29 February 2023
        {0x585D0000, At(2024, 2, 29)},         // 29 February 2024
        {0x586FC000, kFallbackFileDate},       // hour 24
        {0x586F001E, kFallbackFileDate},       // second 60
        {0xFF9FBF7D, At(2107, 12, 31, 23, 59, 58)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.dos);
        EXPECT_NEAR(DosDateTimeToDateTime(c.dos), c.expected, kTolerance);
    }
    EXPECT_NEAR(kFallbackFileDate, 29221.000694, 1e-6);
}

TEST(DosDate, RoundTripsAndClampsToTheFormatsRange) {
    for (const std::uint32_t dos : {0x586F6DAFu, 0x00210020u, 0xFF9FBF7Du, 0x3A8C9C3Bu})
        EXPECT_EQ(DateTimeToDosDateTime(DosDateTimeToDateTime(dos)), dos) << std::hex << dos;
    EXPECT_EQ(DateTimeToDosDateTime(At(2024, 3, 15, 13, 45, 31)), 0x586F6DAFu);  // odd second rounds down
    EXPECT_EQ(DateTimeToDosDateTime(At(1979, 12, 31, 23, 59, 59)), 0x00210000u);
    EXPECT_EQ(DateTimeToDosDateTime(At(2108, 1, 1)), 0xFF9FBF7Du);
}

TEST(DosDate, SwapExchangesTheWords) {
    EXPECT_EQ(SwapDosDate(0x6DAF586F), 0x586F6DAFu);
    EXPECT_EQ(SwapDosDate(SwapDosDate(0x12345678)), 0x12345678u);
}

TEST(UnixTime, ShiftsToLocalTimeWithTheBiasOfThatDate) {
    const ScopedTimeZone zone(kCentralEurope);
    EXPECT_NEAR(UnixTimeToDateTime(1'700'000'000), At(2023, 11, 14, 23, 13, 20), kTolerance);  // CET, +1
    EXPECT_NEAR(UnixTimeToDateTime(1'690'000'000), At(2023, 7, 22, 6, 26, 40), kTolerance);    // CEST, +2
    EXPECT_NEAR(UnixTimeToDateTime(-1'700'000'000), UnixTimeToDateTime(1'700'000'000), kTolerance);
    // 2100 is no leap year: the day after 28 February is 1 March.
    EXPECT_NEAR(UnixTimeToDateTime(4'107'542'400), At(2100, 3, 1, 1), kTolerance);
}

TEST(UnixTime, AgreesWithTheSystemCalendar) {
    for (const std::int64_t t : {1LL, 86'399LL, 951'782'400LL, 1'711'846'800LL, 4'102'444'800LL, 32'503'680'000LL}) {
        const auto time = static_cast<std::time_t>(t);
        std::tm local{};
        ASSERT_NE(::localtime_r(&time, &local), nullptr);
        EXPECT_NEAR(UnixTimeToDateTime(t),
                    At(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                       local.tm_sec),
                    kTolerance)
            << t;
    }
}

TEST(UnixTime, ZeroAndUnrepresentableValuesGiveTheFallback) {
    EXPECT_DOUBLE_EQ(UnixTimeToDateTime(0), kFallbackFileDate);
    EXPECT_DOUBLE_EQ(UnixTimeToDateTime(253'402'300'800), kFallbackFileDate);  // year 10000
    EXPECT_DOUBLE_EQ(UnixTimeToDateTime(std::numeric_limits<std::int64_t>::max()), kFallbackFileDate);
    EXPECT_DOUBLE_EQ(UnixTimeToDateTime(std::numeric_limits<std::int64_t>::min()), kFallbackFileDate);
}

TEST(FileTime, BecomesLocalDosDateTime) {
    const ScopedTimeZone zone(kCentralEurope);
    // 2023-07-22 04:26:40 UTC is 06:26:40 in summer time.
    EXPECT_EQ(FileTimeToDosDateTime(1'690'000'000), DateTimeToDosDateTime(At(2023, 7, 22, 6, 26, 40)));
    EXPECT_EQ(FileTimeToDosDateTime(0), 0x00210000u);  // 1970 lies before what MS-DOS dates hold
}

TEST(FileTime, LocalDateTimesGiveTheMomentMktimeGives) {
    const ScopedTimeZone zone(kCentralEurope);
    const TDateTimeParts cases[] = {
        {2023, 7, 22, 6, 26, 40},   // summer time
        {2023, 11, 14, 23, 13, 20},  // winter time
        {2024, 3, 31, 1, 59, 59},   // the last second before the clock jumps forward
        {2024, 3, 31, 2, 30, 0},    // a time the jump skips
        {2024, 3, 31, 3, 0, 0},
        {2024, 10, 27, 2, 30, 0},   // a time that happens twice
        {2024, 10, 27, 3, 0, 1},
        {1980, 1, 1, 0, 0, 0},
        {2107, 12, 31, 23, 59, 58},
    };
    for (const TDateTimeParts& p : cases) {
        std::tm local{};
        local.tm_year = p.Year - 1900;
        local.tm_mon = p.Month - 1;
        local.tm_mday = p.Day;
        local.tm_hour = p.Hour;
        local.tm_min = p.Minute;
        local.tm_sec = p.Second;
        local.tm_isdst = -1;
        const std::time_t expected = ::mktime(&local);
        const std::time_t got = DateTimeToFileTime(*EncodeDateTime(p));
        // A time that happens twice may be either of its moments, one hour apart.
        const bool twice = p.Month == 10 && p.Hour == 2;
        EXPECT_TRUE(got == expected || (twice && (got == expected - 3600 || got == expected + 3600)))
            << p.Year << "-" << p.Month << "-" << p.Day << " " << p.Hour << ":" << p.Minute << " got " << got
            << " expected " << expected;
    }
}

TEST(OctalField, SkipsEverythingButOctalDigits) {
    using namespace std::string_view_literals;
    struct Case {
        std::string_view text;
        std::optional<std::int64_t> expected;
    };
    const Case cases[] = {
        {"0000644 "sv, 420},
        {"  12 3"sv, 83},
        {"0000644\0"sv, 420},
        {"\0\0 98"sv, 0},                              // 8 and 9 are no octal digits
        {""sv, 0},
        {"777777777777777777777"sv, std::numeric_limits<std::int64_t>::max()},
        {"1000000000000000000000"sv, std::nullopt},    // 2^63
        {"77777777777777777777777777"sv, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseOctal(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace kv
