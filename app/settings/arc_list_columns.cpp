#include "app/settings/arc_list_columns.h"

#include <array>
#include <charconv>

#include "app/settings/kv_settings.h"
#include "platform/ascii_case.h"

namespace kv {
namespace {

// Name, type, size, packed, ratio, date, path, CRC, attributes: the list's columns in order.
constexpr std::array<int, kArcListColumnCount> kDefaultWidths = {135, 70, 70, 70, 40, 105, 120, 62, 35};

}  // namespace

std::string ArcListColumnKey(int column) { return "Column" + std::to_string(column); }

int ArcListDefaultWidth(int column) {
    return column >= 0 && column < kArcListColumnCount ? kDefaultWidths[static_cast<std::size_t>(column)] : 0;
}

int ArcListColumnWidth(int column, std::string_view stored) {
    const std::string_view text = platform::TrimBlanks(stored.substr(0, stored.find(',')));
    int width = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), width);
    const bool readable = !text.empty() && error == std::errc() && end == text.data() + text.size();
    if (!readable || width == kArcListUnsetWidth || width < 0) return ArcListDefaultWidth(column);
    return width;
}

int ReadArcListColumnWidth(const TkvSettings& settings, int column) {
    const std::string unset = std::to_string(kArcListUnsetWidth) + ',' + std::to_string(column);
    return ArcListColumnWidth(column, settings.ReadString(kArcListSection, ArcListColumnKey(column), unset));
}

bool WriteArcListColumn(TkvSettings& settings, int column, int width, int position) {
    return settings.WriteString(kArcListSection, ArcListColumnKey(column),
                                std::to_string(width) + ',' + std::to_string(position));
}

}  // namespace kv
