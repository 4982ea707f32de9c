#include "app/settings/window_placement.h"

#include <algorithm>

#include "app/settings/kv_settings.h"

namespace kv {
namespace {

constexpr std::string_view kX = "x";
constexpr std::string_view kY = "y";
constexpr std::string_view kWidth = "width";
constexpr std::string_view kHeight = "height";
constexpr std::string_view kMaximized = "maximized";

}  // namespace

TWindowPlacement FitWindowPlacement(TWindowPlacement stored, int screenWidth, int screenHeight) {
    TWindowPlacement fitted = stored;
    if (fitted.Width <= 0) fitted.Width = kDefaultWindowWidth;
    if (fitted.Height <= 0) fitted.Height = kDefaultWindowHeight;
    fitted.Width = std::min(fitted.Width, screenWidth);
    fitted.Height = std::min(fitted.Height, screenHeight);
    // Compared as differences: x + width could pass the Integer range for a damaged x.
    if (fitted.X > screenWidth - fitted.Width) fitted.X = screenWidth - fitted.Width;
    if (fitted.Y > screenHeight - fitted.Height) fitted.Y = screenHeight - fitted.Height;
    fitted.X = std::max(fitted.X, 0);
    fitted.Y = std::max(fitted.Y, 0);
    return fitted;
}

TWindowPlacement ReadWindowPlacement(const TkvSettings& settings, std::string_view section, int currentLeft,
                                     int currentTop, int screenWidth, int screenHeight) {
    TWindowPlacement stored;
    stored.Maximized = settings.ReadBool(section, kMaximized, false);
    stored.X = settings.ReadInteger(section, kX, currentLeft);
    stored.Y = settings.ReadInteger(section, kY, currentTop);
    stored.Height = settings.ReadInteger(section, kHeight, kDefaultWindowHeight);
    stored.Width = settings.ReadInteger(section, kWidth, kDefaultWindowWidth);
    return FitWindowPlacement(stored, screenWidth, screenHeight);
}

bool SaveWindowPlacement(TkvSettings& settings, std::string_view section, const TWindowPlacement& placement) {
    bool written = settings.WriteInteger(section, kX, placement.X);
    written &= settings.WriteInteger(section, kY, placement.Y);
    written &= settings.WriteInteger(section, kHeight, placement.Height);
    written &= settings.WriteInteger(section, kWidth, placement.Width);
    written &= settings.WriteBool(section, kMaximized, placement.Maximized);
    return written;
}

}  // namespace kv
