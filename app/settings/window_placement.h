#pragma once

#include <string_view>

namespace kv {

class TkvSettings;

inline constexpr int kDefaultWindowWidth = 671;
inline constexpr int kDefaultWindowHeight = 522;

// A form's bounds and state as the settings keep them ("x", "y", "width", "height", "maximized").
struct TWindowPlacement {
    int X = 0;
    int Y = 0;
    int Width = kDefaultWindowWidth;
    int Height = kDefaultWindowHeight;
    bool Maximized = false;

    bool operator==(const TWindowPlacement&) const = default;
};

// Brings stored bounds onto a screen of that size: width and height cut to the screen's, the window moved
// left and up until its far edges are on the screen, then x and y raised to at least 0. A size that is
// not positive (a damaged store) gives the default size.
TWindowPlacement FitWindowPlacement(TWindowPlacement stored, int screenWidth, int screenHeight);

// Reads the placement kept in `section`, the form's current left and top standing in for a missing x and
// y, and fits it to the screen.
TWindowPlacement ReadWindowPlacement(const TkvSettings& settings, std::string_view section, int currentLeft,
                                     int currentTop, int screenWidth, int screenHeight);
// True when every value was written.
bool SaveWindowPlacement(TkvSettings& settings, std::string_view section, const TWindowPlacement& placement);

}  // namespace kv
