#pragma once

#include <array>

namespace kv::facade {

enum TListColumnId { lcFilename, lcType, lcSize, lcPacked, lcRatio, lcDateTime, lcPath, lcCRC, lcAttributes };

struct TListColumn {
    const char* Caption;
    int Width;
    bool RightAligned;
    const char* CaptionKey;
};

// The list view's columns; a column's logical index is its tag.
inline constexpr std::array<TListColumn, 9> kListColumns = {{
    {"Filename", 135, false, "cptnFilename"},
    {"Type", 90, false, "cptnFiletype"},
    {"Size", 70, true, "cptnSize"},
    {"Packed", 70, true, "cptnPacked"},
    {"Ratio", 40, true, "cptnRatio"},
    {"Date / Time", 100, false, "cptnDateTime"},
    {"Path", 120, false, "cptnPath"},
    {"CRC", 65, false, "cptnCRC"},
    {"Attributes", 30, false, "cptnAttributes"},
}};

}  // namespace kv::facade
