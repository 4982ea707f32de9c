#include "engine/core/volume_names.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(VolumeNames, NumberAndLetterFromTheExtension) {
    struct Case {
        TArcType Type;
        const char* Name;
        int Number;
        char Letter;
    };
    const Case cases[] = {
        {atRar, "dir/data.rar", 0, 'q'}, {atRar, "dir/data.r05", 6, 'r'}, {atRarExe, "data.exe", 0, 'q'},
        {atRar, "DATA.RAR", 0, 'Q'},     {atRar, "data", 0, 'q'},         {atArj, "data.arj", 1, 'a'},
        {atArj, "data.a01", 2, 'a'},     {atAce, "data.ace", 0, 'c'},     {atAce, "DATA.ACE", 0, 'C'},
        {atAce, "data.c00", 1, 'c'},     {atJar, "lib.jar", 0, 'j'},      {atJarExe, "x.j12", 13, 'j'},
        {atRar, "dir.r1/data", 0, 'q'},  {atRar, "data.001", 2, '0'},     {atRar, "data.r99999999999", 0, 'q'},
    };
    for (const Case& c : cases) {
        TArcDetection state;
        ComputeVolumeNumber(c.Type, c.Name, state);
        EXPECT_EQ(state.VolumeNumber, c.Number) << c.Name;
        EXPECT_EQ(state.VolumeLetter, c.Letter) << c.Name;
    }
    // Types without numbered volumes are left alone.
    TArcDetection zip;
    zip.VolumeNumber = 7;
    ComputeVolumeNumber(atZip, "data.z01", zip);
    EXPECT_EQ(zip.VolumeNumber, 7);
    EXPECT_EQ(zip.VolumeLetter, 0);
}

TEST(VolumeNames, NextVolume) {
    struct Case {
        TArcType Type;
        const char* Name;
        int N;
        char Letter;
        const char* Next;
    };
    const Case cases[] = {
        {atRar, "dir/data.rar", 0, 'q', "dir/data.r00"},
        {atRar, "dir/data.r00", 1, 'r', "dir/data.r01"},
        {atRar, "data.r98", 99, 'r', "data.r99"},
        {atRar, "data.r99", 100, 'r', "data.s00"},
        {atArj, "data.arj", 1, 'a', "data.a01"},
        {atArj, "data.a99", 100, 'a', "data.100"},
        {atAce, "data.ace", 0, 'c', "data.c00"},
        {atAce, "data.c09", 10, 'c', "data.c10"},
        {atRar, "data.part1.rar", 0, 'q', "data.part2.rar"},
        {atRar, "data.PART1.rar", 9, 'q', "data.part11.rar"},
        {atRar, "data.part01.rar", 0, 'q', "data.part02.rar"},
        {atRar, "data.part01.rar", 8, 'q', "data.part10.rar"},
        {atRar, "data.part001.rar", 8, 'q', "data.part010.rar"},
        {atRar, "data.part0001.rar", 0, 'q', "data.part0002.rar"},
        {atRarExe, "data.part1.exe", 1, 'q', "data.part3.rar"},
        {atRar, "data.party.rar", 0, 'q', "data.party.r00"},
        {atArj, "dir.v/data", 1, 'a', "dir.v/data.a01"},
        {atRar, "data.rar", -1, 'q', ""},
        {atZip, "data.zip", 3, 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetNextVolumeName(c.Type, c.Name, c.N, c.Letter), c.Next) << c.Name << " " << c.N;
}

}  // namespace
}  // namespace kv
