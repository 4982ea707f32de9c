#include <climits>

#include "app/settings/window_placement.h"
#include "settings_fixture.h"

namespace kv {
namespace {

TEST(WindowPlacement, StoredBoundsAreBroughtOntoTheScreen) {
    const struct {
        const char* what;
        TWindowPlacement stored;
        int screenWidth, screenHeight;
        TWindowPlacement fitted;
    } cases[] = {
        {"fits", {100, 50, 800, 600, false}, 1920, 1080, {100, 50, 800, 600, false}},
        {"larger than the screen", {10, 10, 3000, 2000, true}, 1920, 1080, {0, 0, 1920, 1080, true}},
        {"past the right and bottom edges", {1500, 900, 800, 600, false}, 1920, 1080, {1120, 480, 800, 600, false}},
        {"left of and above the screen", {-50, -20, 800, 600, false}, 1920, 1080, {0, 0, 800, 600, false}},
        {"far out", {INT_MAX, INT_MIN, 800, 600, false}, 1920, 1080, {1120, 0, 800, 600, false}},
        {"no size", {100, 100, 0, -5, false}, 1920, 1080, {100, 100, 671, 522, false}},
        {"small screen", {0, 0, 671, 522, false}, 640, 480, {0, 0, 640, 480, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TWindowPlacement fitted = FitWindowPlacement(c.stored, c.screenWidth, c.screenHeight);
        EXPECT_EQ(fitted.X, c.fitted.X);
        EXPECT_EQ(fitted.Y, c.fitted.Y);
        EXPECT_EQ(fitted.Width, c.fitted.Width);
        EXPECT_EQ(fitted.Height, c.fitted.Height);
        EXPECT_EQ(fitted.Maximized, c.fitted.Maximized);
    }
}

using WindowPlacementStore = test::SettingsTest;

TEST_F(WindowPlacementStore, SavedPlacementComesBackInEitherStore) {
    for (const bool registry : {true, false}) {
        SCOPED_TRACE(registry ? "registry" : "INI");
        auto settings = Create();
        settings->SetStoreMethod(registry);
        const std::string section = registry ? "Position" : "frmAdd";
        EXPECT_EQ(ReadWindowPlacement(*settings, section, 30, 40, 1920, 1080),
                  (TWindowPlacement{30, 40, 671, 522, false}));
        ASSERT_TRUE(SaveWindowPlacement(*settings, section, {5, 6, 700, 500, true}));
        EXPECT_EQ(settings->ReadInteger(section, "width", 0), 700);
        EXPECT_TRUE(settings->ReadBool(section, "maximized", false));
        EXPECT_EQ(ReadWindowPlacement(*settings, section, 30, 40, 1920, 1080),
                  (TWindowPlacement{5, 6, 700, 500, true}));
        EXPECT_EQ(ReadWindowPlacement(*settings, section, 30, 40, 600, 400), (TWindowPlacement{0, 0, 600, 400, true}));
    }
}

}  // namespace
}  // namespace kv
