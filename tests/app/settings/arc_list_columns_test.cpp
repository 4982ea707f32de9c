#include "app/settings/arc_list_columns.h"
#include "settings_fixture.h"

namespace kv {
namespace {

TEST(ArcListColumns, TheStoredWidthCountsUnlessItIsUnsetOrUnreadable) {
    const struct {
        int column;
        const char* stored;
        int width;
    } cases[] = {
        {3, "200,3", 200}, {3, "200,7", 200},  {3, "65535,3", 70}, {0, "65535,0", 135}, {8, "65535,8", 35},
        {4, "0,4", 0},     {5, " 90 ,1", 90},  {6, "90", 90},      {1, "", 70},         {2, "abc,2", 70},
        {7, "12x,7", 62},  {6, "-20,6", 120},  {5, ",5", 105},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ArcListColumnWidth(c.column, c.stored), c.width) << c.column << " \"" << c.stored << '"';
    }
}

using ArcListColumnsStore = test::SettingsTest;

TEST_F(ArcListColumnsStore, ColumnsWithoutAStoredWidthGetTheirDefaultsAndWrittenOnesComeBack) {
    auto settings = Create();
    const int defaults[kArcListColumnCount] = {135, 70, 70, 70, 40, 105, 120, 62, 35};
    for (int column = 0; column < kArcListColumnCount; ++column) {
        EXPECT_EQ(ReadArcListColumnWidth(*settings, column), defaults[column]) << column;
    }
    ASSERT_TRUE(WriteArcListColumn(*settings, 3, 200, 5));
    EXPECT_EQ(settings->ReadString("ArcList", "Column3", ""), "200,5");
    EXPECT_EQ(ReadArcListColumnWidth(*settings, 3), 200);
}

}  // namespace
}  // namespace kv
