#include "engine/core/method_names.h"

#include <algorithm>

#include "platform/paths.h"

namespace kv {
namespace {

constexpr std::string_view kUnsupported = "Unsupported";
constexpr std::string_view kDir = "<Dir>";
constexpr std::uint32_t kDirectoryBit = 0x10;

struct MethodName {
    int code;
    std::string_view name;
};
template <std::size_t N>
using MethodTable = std::array<MethodName, N>;

constexpr MethodTable<5> kAce{{{0, "Fastest"}, {1, "Fast"}, {2, "Normal"}, {3, "Good"}, {4, "Best"}}};
constexpr MethodTable<12> kArc{{{1, "Stored"}, {2, "Stored"}, {3, "Packed"}, {4, "Squeezed"}, {5, "Crunched"},
                                {6, "Crunched"}, {7, "Squashed"}, {8, "Pack10"}, {9, "Pack11"}, {10, "Pack12"},
                                {11, "Stored"}, {30, kDir}}};
constexpr MethodTable<5> kArj{{{0, "Stored"}, {1, "Most"}, {2, "2nd Most"}, {3, "2nd Fast"}, {4, "Fastest"}}};
constexpr MethodTable<4> kBh{{{0, "Stored"}, {1, "Fused1"}, {2, "Deflate"}, {3, "Fused3"}}};
constexpr MethodTable<2> kBz2{{{0, "Stored"}, {1, "BZ'd"}}};
constexpr MethodTable<4> kCab{{{0, "Stored"}, {1, "MsZIP"}, {2, "Quantum"}, {3, "Lzx"}}};
constexpr MethodTable<2> kXz{{{kXzMethodXz, "XZ"}, {kXzMethodLzma, "LZMA"}}};
constexpr MethodTable<1> kZstd{{{0, "Zstd"}}};
constexpr MethodTable<3> kGZip{{{0, "Stored"}, {8, "Deflate"}, {144, "LzwMAGIC"}}};
constexpr MethodTable<5> kHa{{{0, "Cpy"}, {1, "Asc"}, {2, "HSC"}, {14, kDir}, {15, "Special"}}};
constexpr MethodTable<9> kLha{{{'0', "Stored"}, {'1', "Frozen-1"}, {'2', "Frozen-2"}, {'3', "Frozen-3"},
                               {'4', "Frozen-4"}, {'5', "Frozen-5"}, {'6', "Frozen-6"}, {'7', "Frozen-7"},
                               {'d', kDir}}};
constexpr MethodTable<10> kPak{{{2, "Stored"}, {3, "RLE"}, {4, "Squeezed"}, {5, "FixedLen"}, {6, "FixedLen"},
                                {7, "FixedLen"}, {8, "Varible"}, {9, "Varible"}, {10, "Crushed"}, {11, "Distill"}}};
constexpr MethodTable<6> kRar{{{'0', "Stored"}, {'1', "Fastest"}, {'2', "Fast"}, {'3', "Normal"}, {'4', "Good"},
                               {'5', "Best"}}};
constexpr MethodTable<3> kZoo{{{0, "Stored"}, {1, "Fastest"}, {2, "Greatest"}}};
constexpr MethodTable<10> kZip{{{0, "Stored"}, {1, "Shrunk"}, {2, "Reduce-1"}, {3, "Reduce-2"}, {4, "Reduce-3"},
                                {5, "Reduce-4"}, {6, "Imploded"}, {7, "Tokened"}, {10, "DCL-implode"},
                                {12, "BZip2"}}};

template <std::size_t N>
const std::string_view* Find(const MethodTable<N>& table, int code) {
    const auto it = std::find_if(table.begin(), table.end(), [code](const MethodName& m) { return m.code == code; });
    return it == table.end() ? nullptr : &it->name;
}

template <std::size_t N>
std::string NameOr(const MethodTable<N>& table, int code, std::string_view otherwise = kUnsupported) {
    const std::string_view* name = Find(table, code);
    return std::string(name ? *name : otherwise);
}

// Only the exact flag values 0, 2, 4 and 6 choose a level; anything else (an enciphered entry, say)
// is shown as normal.
std::string DeflateNameByFlags(std::uint16_t flags, std::string_view prefix) {
    std::string_view level = "N";
    switch (flags) {
        case 2: level = "X"; break;
        case 4: level = "F"; break;
        case 6: level = "S"; break;
        default: break;
    }
    return std::string(prefix).append(level);
}

bool HasEmptyFilePart(std::string_view name) {
    return name.empty() || name.back() == '/' || name.back() == '\\' || name.back() == platform::kPathDelim;
}

std::string ZipMethodName(int method, std::uint16_t flags, std::uint32_t attributes,
                          const TMethodNameExtras& extras) {
    if (method == 8) return DeflateNameByFlags(flags, "DFLT-");
    if (method == 9) return DeflateNameByFlags(flags, "DFLT-64");
    if (method == 99) {
        // The AES field names the real method; a field that names 99 again has nothing to offer.
        if (extras.AesMethod < 0 || extras.AesMethod == 99) return std::string(kUnsupported);
        TMethodNameExtras inner = extras;
        inner.AesMethod = -1;
        return ZipMethodName(extras.AesMethod, flags, attributes, inner);
    }
    return NameOr(kZip, method, (attributes & kDirectoryBit) ? kDir : kUnsupported);
}

}  // namespace

std::string GetCompressMethodName(TArcType type, int method, std::uint16_t flags, std::uint32_t attributes,
                                  const TMethodNameExtras& extras) {
    switch (type) {
        case atAce:
        case atAceExe: return NameOr(kAce, method);
        case atArc:
        case atArcExe: return NameOr(kArc, method);
        case atArj:
        case atArjExe:
            // ARJ stores folders with method 0, so the file type has to win.
            if (extras.ArjFileType == 3) return std::string(kDir);
            return NameOr(kArj, method);
        case atBh:
        case atBhExe: return method == 8 ? DeflateNameByFlags(flags, "DFLT-") : NameOr(kBh, method);
        case atBz2: return NameOr(kBz2, method);
        case atXz: return NameOr(kXz, method);
        case atZstd: return NameOr(kZstd, method);
        case atCab:
        case atCabExe:
            if (const std::string_view* name = Find(kCab, method & 0x0F)) return std::string(*name);
            if (method >= 4 && method <= 20) return "Lzx" + std::to_string(method);
            return std::string(kUnsupported);
        case atGZip:
            if (const std::string_view* name = Find(kGZip, method)) return std::string(*name);
            if (extras.Magic == std::array<std::uint8_t, 2>{0x1F, 0x1E}) return "PackMAGIC";
            if (extras.Magic == std::array<std::uint8_t, 2>{0x1F, 0xA0}) return "LzhMAGIC";
            return std::string(kUnsupported);
        case atHA: return NameOr(kHa, method);
        case atLha:
        case atLhaExe:
        case atLzh:
        case atLzhExe: return NameOr(kLha, method);
        case atPak:
        case atPakExe: return NameOr(kPak, method);
        case atRar:
        case atRarExe: return (attributes & kDirectoryBit) ? std::string(kDir) : NameOr(kRar, method);
        case atTar:
            if (method == 0) return "Tarred";
            return std::string(HasEmptyFilePart(extras.FileName) ? kDir : kUnsupported);
        case atZoo: return NameOr(kZoo, method);
        case atJar:
        case atJarExe:
        case atZip:
        case atZipExe:
        case atZipDS:
        case atZipMV: return ZipMethodName(method, flags, attributes, extras);
        default: return std::string(kUnsupported);
    }
}

}  // namespace kv
