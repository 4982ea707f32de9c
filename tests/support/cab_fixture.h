#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/zip_fixture.h"

namespace kv::test {

struct CabFileRecord {
    std::string name;  // written with its zero byte unless `unterminated`
    std::uint32_t size = 0;
    std::uint16_t folder = 0;
    std::uint16_t attributes = 0x20;
    bool unterminated = false;
};

// A cabinet with one MSZIP folder (no data blocks: the lister reads none) and the given file records;
// `next` names the following cabinet of a set.
inline std::string MakeCab(const std::vector<CabFileRecord>& files, const std::string& next = {}) {
    std::string links;
    if (!next.empty()) links = next + '\0' + "disk" + '\0';
    const std::uint32_t files_at = static_cast<std::uint32_t>(36 + links.size() + 8);
    std::string out = "MSCF";
    Put32(out, 0);
    Put32(out, 0);  // cabinet size: not used
    Put32(out, 0);
    Put32(out, files_at);
    Put32(out, 0);
    out += '\x03';
    out += '\x01';
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(files.size()));
    Put16(out, next.empty() ? 0 : 0x0002);
    Put16(out, 0x1234);
    Put16(out, 0);
    out += links;
    Put32(out, 0);  // folder: first data block
    Put16(out, 0);
    Put16(out, 1);  // MSZIP
    for (const auto& file : files) {
        Put32(out, file.size);
        Put32(out, 0);
        Put16(out, file.folder);
        Put16(out, 0x5A2E);  // date word first
        Put16(out, 0x6C22);
        Put16(out, file.attributes);
        out += file.name;
        if (!file.unterminated) out += '\0';
    }
    return out;
}

}  // namespace kv::test
