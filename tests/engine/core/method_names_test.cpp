#include <gtest/gtest.h>

#include <string>

#include "engine/core/method_names.h"

namespace kv {
namespace {

// Designated initialisers would leave members out, which -Wextra flags; these say the same.
TMethodNameExtras Aes(int method) {
    TMethodNameExtras e;
    e.AesMethod = method;
    return e;
}
TMethodNameExtras ArjType(int fileType) {
    TMethodNameExtras e;
    e.ArjFileType = fileType;
    return e;
}
TMethodNameExtras Named(std::string_view name) {
    TMethodNameExtras e;
    e.FileName = name;
    return e;
}
TMethodNameExtras Magic(std::uint8_t first, std::uint8_t second) {
    TMethodNameExtras e;
    e.Magic = {first, second};
    return e;
}

struct Case {
    TArcType type;
    int method;
    std::uint16_t flags;
    std::uint32_t attributes;
    TMethodNameExtras extras;
    std::string expected;
};

TEST(MethodNames, TableAcrossTypes) {
    const Case cases[] = {
        {atZip, 8, 0x0000, 0, {}, "DFLT-N"},
        {atZip, 8, 0x0002, 0, {}, "DFLT-X"},
        {atZip, 8, 0x0004, 0, {}, "DFLT-F"},
        {atZip, 8, 0x0006, 0, {}, "DFLT-S"},
        {atZip, 8, 0x0003, 0, {}, "DFLT-N"},    // any value but exactly 0, 2, 4, 6 is shown as normal
        {atZip, 8, 0x0802, 0, {}, "DFLT-N"},
        {atJarExe, 9, 0x0002, 0, {}, "DFLT-64X"},
        {atZipMV, 9, 0x0001, 0, {}, "DFLT-64N"},
        {atZip, 12, 0, 0, {}, "BZip2"},
        {atZipExe, 6, 0, 0, {}, "Imploded"},
        {atZip, 99, 0x0001, 0, Aes(8), "DFLT-N"},
        {atZip, 99, 0x0001, 0, Aes(0), "Stored"},
        {atZip, 99, 0x0001, 0, {}, "Unsupported"},
        {atZip, 99, 0x0001, 0, Aes(99), "Unsupported"},
        {atZip, 0, 0, 0x10, {}, "Stored"},       // a known method wins over the directory bit
        {atZip, 19, 0, 0x10, {}, "<Dir>"},
        {atZip, 19, 0, 0, {}, "Unsupported"},
        {atZip, 14, 0x0002, 0, {}, "LZMA"},
        {atZipExe, 95, 0, 0, {}, "XZ"},
        {atZip, 93, 0, 0, {}, "Zstd"},
        {atZip, 20, 0, 0, {}, "Zstd"},
        {atZip, 98, 0, 0, {}, "PPMd"},
        {atZip, 99, 0x0001, 0, Aes(98), "PPMd"},
        {atArj, 4, 0, 0, {}, "Fastest"},
        {atArjExe, 0, 0, 0, ArjType(3), "<Dir>"},
        {atArj, 0, 0, 0, ArjType(1), "Stored"},
        {atAce, 3, 0, 0, {}, "Good"},
        {atArc, 11, 0, 0, {}, "Stored"},
        {atArcExe, 30, 0, 0, {}, "<Dir>"},
        {atBh, 8, 0x0004, 0, {}, "DFLT-F"},
        {atBhExe, 3, 0, 0, {}, "Fused3"},
        {atBz2, 1, 0, 0, {}, "BZ'd"},
        {atCab, 0x1503, 0, 0, {}, "Lzx"},        // LZX with its window size in the high byte
        {atCabExe, 1, 0, 0, {}, "MsZIP"},
        {atCab, 7, 0, 0, {}, "Lzx7"},
        {atCab, 0x24, 0, 0, {}, "Unsupported"},
        {atGZip, 8, 0, 0, {}, "Deflate"},
        {atGZip, 144, 0, 0, {}, "LzwMAGIC"},
        {atGZip, 5, 0, 0, Magic(0x1F, 0x1E), "PackMAGIC"},
        {atGZip, 5, 0, 0, Magic(0x1F, 0xA0), "LzhMAGIC"},
        {atGZip, 5, 0, 0, Magic(0x1F, 0x8B), "Unsupported"},
        {atHA, 14, 0, 0, {}, "<Dir>"},
        {atLzhExe, '5', 0, 0, {}, "Frozen-5"},
        {atLha, 'd', 0, 0, {}, "<Dir>"},
        {atLha, 5, 0, 0, {}, "Unsupported"},     // LHA codes are characters
        {atPak, 8, 0, 0, {}, "Varible"},
        {atPak, 1, 0, 0, {}, "Unsupported"},
        {atRar, '3', 0, 0x20, {}, "Normal"},
        {atRarExe, '0', 0, 0x10, {}, "<Dir>"},
        {atTar, 0, 0, 0, Named("a/b.txt"), "Tarred"},
        {atTar, 5, 0, 0x10, Named("a/b/"), "<Dir>"},
        {atTar, 5, 0, 0, Named("a/b"), "Unsupported"},
        {atZoo, 2, 0, 0, {}, "Greatest"},
        {atMsGZ, 0, 0, 0, {}, "Unsupported"},
        {atUUE, 0, 0, 0, {}, "Unsupported"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetCompressMethodName(c.type, c.method, c.flags, c.attributes, c.extras), c.expected)
            << ArcTypeValueName(c.type) << " method " << c.method << " flags " << c.flags;
    }
}

}  // namespace
}  // namespace kv
