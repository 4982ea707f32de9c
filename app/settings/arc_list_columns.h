#pragma once

#include <string>
#include <string_view>

namespace kv {

class TkvSettings;

// The archive list keeps each column as "width,position" under "Column" + its number in section ArcList.
inline constexpr std::string_view kArcListSection = "ArcList";
inline constexpr int kArcListColumnCount = 9;
// What a column never sized by the user is stored as: no width at all.
inline constexpr int kArcListUnsetWidth = 65535;

std::string ArcListColumnKey(int column);
// The width of a column (0 to 8) that has none stored.
int ArcListDefaultWidth(int column);
// The width a stored value gives: its part before the comma, or the column's default when that part is
// 65535, no number, or negative. A width of 0 is a hidden column.
int ArcListColumnWidth(int column, std::string_view stored);

int ReadArcListColumnWidth(const TkvSettings& settings, int column);
bool WriteArcListColumn(TkvSettings& settings, int column, int width, int position);

}  // namespace kv
