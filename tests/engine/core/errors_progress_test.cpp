#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/core/error_codes.h"
#include "engine/core/percent.h"
#include "engine/core/zip_timer.h"

namespace kv {
namespace {

TEST(ErrorTexts, CodesMapToTheirTexts) {
    EXPECT_EQ(LoadStr(25101), "64 bit header");
    EXPECT_EQ(LoadStr(ecode::kBadFileHeader), "Bad file header");
    EXPECT_EQ(LoadStr(25194), "FileSize exceeds OS's support");
    EXPECT_EQ(LoadStr(ecode::kUserCanceled), "User canceled");
    EXPECT_EQ(LoadStr(26899), "Directory does not exist... Create?");
    EXPECT_EQ(LoadStr(25173), "EOF not found");
    EXPECT_EQ(LoadStr(25179), "EOF not found");
    EXPECT_EQ(LoadStr(25100), "");
    EXPECT_EQ(LoadStr(0), "");
}

TEST(Percent, RoundsHalvesToEvenWithinRange) {
    struct Case { std::int64_t part, total; int want; };
    const Case cases[] = {
        {1, 3, 33}, {1, 2, 50}, {5, 2, 100}, {7, 0, 0}, {7, -1, 0}, {-5, 10, 0},
        {1, 200, 0},   // 0.5 rounds to even 0
        {3, 200, 2},   // 1.5 rounds to even 2
        {5, 200, 2},   // 2.5 rounds to even 2
        {2, 3, 67},
        {INT64_MAX / 2, INT64_MAX, 50},
    };
    for (const Case& c : cases) EXPECT_EQ(Percent(c.part, c.total), c.want) << c.part << " of " << c.total;
}

TEST(Ratio, SavedShareOfTheOriginal) {
    struct Case { std::int64_t unpacked, packed; int want; };
    const Case cases[] = {{100, 100, 0}, {100, 40, 60}, {0, 0, 0}, {100, 150, 0}, {200, 199, 0}, {200, 197, 2}, {3, 1, 67}};
    for (const Case& c : cases) EXPECT_EQ(Ratio(c.unpacked, c.packed), c.want) << c.unpacked << "/" << c.packed;
}

TEST(ZipTimer, PausedSpansAreLeftOut) {
    TZipTimer timer;
    timer.Pause();  // not running: nothing happens
    EXPECT_FALSE(timer.Running());
    timer.Start();
    {
        TTimerPause pause(timer);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const float seconds = timer.Stop();
    EXPECT_LT(seconds, 0.2f);
    EXPECT_FALSE(timer.Running());
    EXPECT_EQ(timer.Stop(), 0.0f);
}

}  // namespace
}  // namespace kv
