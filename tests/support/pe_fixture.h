#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "support/zip_fixture.h"

namespace kv::test {

// A minimal PE32 image whose only section holds a string table with `strings` (identifier → text),
// padded with zeros to at least `size` bytes. Its DOS header claims no image, so only the PE
// resources point anywhere.
inline std::string MakePeWithStrings(const std::map<std::uint32_t, std::u16string>& strings, std::size_t size) {
    constexpr std::uint32_t kSectionRva = 0x1000;
    constexpr std::size_t kSectionFileOffset = 0x200;

    // Group the strings into their blocks of 16.
    std::map<std::uint32_t, std::map<std::uint32_t, std::u16string>> blocks;
    for (const auto& [id, text] : strings) blocks[id / 16 + 1][id % 16] = text;

    std::string rsrc;
    const auto dir = [&rsrc](std::uint32_t id, std::uint32_t target) {
        Put32(rsrc, 0), Put32(rsrc, 0), Put16(rsrc, 0), Put16(rsrc, 0), Put16(rsrc, 0), Put16(rsrc, 1);
        Put32(rsrc, id), Put32(rsrc, target);
    };
    const auto n = static_cast<std::uint32_t>(blocks.size());
    // Root → type 6 → one directory per block → one language each → data entries → string data.
    const std::uint32_t types_at = 24;
    const std::uint32_t languages_at = types_at + 16 + 8 * n;
    const std::uint32_t entries_at = languages_at + 24 * n;
    std::uint32_t data_at = entries_at + 16 * n;
    dir(6, 0x80000000u | types_at);
    Put32(rsrc, 0), Put32(rsrc, 0), Put16(rsrc, 0), Put16(rsrc, 0), Put16(rsrc, 0),
        Put16(rsrc, static_cast<std::uint16_t>(n));
    std::uint32_t index = 0;
    for (const auto& block : blocks) Put32(rsrc, block.first), Put32(rsrc, 0x80000000u | (languages_at + 24 * index++));
    for (index = 0; index < n; ++index) dir(0x409, entries_at + 16 * index);
    std::string data;
    for (const auto& block : blocks) {
        std::string table;
        for (std::uint32_t i = 0; i < 16; ++i) {
            const auto it = block.second.find(i);
            const std::u16string text = it == block.second.end() ? u"" : it->second;
            Put16(table, static_cast<std::uint32_t>(text.size()));
            for (char16_t c : text) Put16(table, c);
        }
        Put32(rsrc, kSectionRva + data_at + static_cast<std::uint32_t>(data.size()));
        Put32(rsrc, static_cast<std::uint32_t>(table.size())), Put32(rsrc, 0), Put32(rsrc, 0);
        data += table;
    }
    rsrc += data;

    std::string pe = "MZ";
    pe.resize(0x3C, '\0');
    Put32(pe, 0x40);
    pe += std::string("PE\0\0", 4);
    Put16(pe, 0x14C), Put16(pe, 1), Put32(pe, 0), Put32(pe, 0), Put32(pe, 0), Put16(pe, 224), Put16(pe, 0x102);
    std::string optional;
    Put16(optional, 0x10B);
    optional.resize(92, '\0');
    Put32(optional, 16);
    optional.resize(96 + 2 * 8, '\0');
    Put32(optional, kSectionRva), Put32(optional, static_cast<std::uint32_t>(rsrc.size()));
    optional.resize(224, '\0');
    pe += optional;
    std::string section = ".rsrc";
    section.resize(8, '\0');
    Put32(section, static_cast<std::uint32_t>(rsrc.size())), Put32(section, kSectionRva);
    Put32(section, static_cast<std::uint32_t>(rsrc.size())), Put32(section, kSectionFileOffset);
    section.resize(40, '\0');
    pe += section;
    pe.resize(kSectionFileOffset, '\0');
    pe += rsrc;
    if (pe.size() < size) pe.resize(size, '\0');
    return pe;
}

}  // namespace kv::test
