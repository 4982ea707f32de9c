#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/core/arc_type.h"
#include "engine/core/formats.h"

namespace kv {

// What a few formats need beyond method, flags and attributes to name the method.
struct TMethodNameExtras {
    int AesMethod = -1;                  // ZIP method 99: the method stored in the AES extra field (-1: none)
    int ArjFileType = -1;                // ARJ: the header's file type (3 is a directory)
    std::string_view FileName;           // TAR: a name with an empty file part is a directory
    std::array<std::uint8_t, 2> Magic{}; // GZIP: the first two bytes of the file
};

// The method codes of an XZ-type file: an XZ stream, or legacy LZMA "alone" data.
inline constexpr std::uint8_t kXzMethodXz = 0;
inline constexpr std::uint8_t kXzMethodLzma = 1;

// The display name of an entry's compression method; "Unsupported" when no rule of the type knows it.
// `method` is the format's own code (a character code such as '5' for LHA and RAR); `flags` are the
// general-purpose flags (ZIP, BH); bit 4 (0x10) of `attributes` marks a directory.
std::string GetCompressMethodName(TArcType type, int method, std::uint16_t flags, std::uint32_t attributes,
                                  const TMethodNameExtras& extras = {});

// The rules a format's row names its methods by: the method table alone, or the table with the format's
// own exceptions.
std::string NameFromMethodTable(std::span<const TMethodName> table, int method, std::uint16_t flags,
                                std::uint32_t attributes, const TMethodNameExtras& extras);
std::string NameArjMethod(std::span<const TMethodName> table, int method, std::uint16_t flags,
                          std::uint32_t attributes, const TMethodNameExtras& extras);
std::string NameBhMethod(std::span<const TMethodName> table, int method, std::uint16_t flags,
                         std::uint32_t attributes, const TMethodNameExtras& extras);
std::string NameCabMethod(std::span<const TMethodName> table, int method, std::uint16_t flags,
                          std::uint32_t attributes, const TMethodNameExtras& extras);
std::string NameGZipMethod(std::span<const TMethodName> table, int method, std::uint16_t flags,
                           std::uint32_t attributes, const TMethodNameExtras& extras);
std::string NameRarMethod(std::span<const TMethodName> table, int method, std::uint16_t flags,
                          std::uint32_t attributes, const TMethodNameExtras& extras);
std::string NameTarMethod(std::span<const TMethodName> table, int method, std::uint16_t flags,
                          std::uint32_t attributes, const TMethodNameExtras& extras);
std::string NameZipMethod(std::span<const TMethodName> table, int method, std::uint16_t flags,
                          std::uint32_t attributes, const TMethodNameExtras& extras);

}  // namespace kv
