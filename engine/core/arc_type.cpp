#include "engine/core/arc_type.h"

namespace kv {
namespace {

struct TypeNames {
    std::string_view value;
    std::string_view display;
};

constexpr TypeNames kNames[kArcTypeCount] = {
    {"atNA", "Not avail. "},    {"atUnsupported", "Unsupport."}, {"atFileOpenErr", "File Error"},
    {"atUnknown", "Unknown   "}, {"atAce", "ACE       "},        {"atAceExe", "ACE SFX   "},
    {"atArc", "ARC       "},     {"atArcExe", "ARC SFX   "},     {"atArj", "ARJ       "},
    {"atArjExe", "ARJ SFX   "},  {"atB64", "Base64    "},        {"atBh", "BH        "},
    {"atBhExe", "BH  SFX   "},   {"atBz2", "BZ2       "},        {"atCab", "CAB       "},
    {"atCabExe", "CAB SFX   "},  {"atGZip", "GZip      "},       {"atHA", "HA        "},
    {"atJar", "Java JAR  "},     {"atJarExe", "JJAR SFX  "},     {"atLha", "LHA       "},
    {"atLhaExe", "LHA SFX   "},  {"atLzh", "LZH       "},        {"atLzhExe", "LZH SFX   "},
    {"atMsGZ", "MsGZ     \t"},   {"atPak", "PAK       "},        {"atPakExe", "PAK SFX   "},
    {"atRar", "RAR       "},     {"atRarExe", "RAR SFX   "},     {"atTar", "TAR       "},
    {"atTarGZip", "TarGzip   "}, {"atUUE", "UUE       "},        {"atZip", "ZIP       "},
    {"atZipExe", "ZIP SFX   "},  {"atZipDS", "Zip Span  "},      {"atZipMV", "Zip MVol  "},
    {"atZoo", "ZOO       "},     {"atXz", "XZ        "},         {"atZstd", "Zstd      "},
    {"atTarXz", "TarXz     "},   {"atTarZstd", "TarZstd   "},
};

}  // namespace

std::string_view ArcTypeDisplayName(TArcType t) { return t < kArcTypeCount ? kNames[t].display : std::string_view{}; }
std::string_view ArcTypeValueName(TArcType t) { return t < kArcTypeCount ? kNames[t].value : std::string_view{}; }

}  // namespace kv
