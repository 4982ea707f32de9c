#pragma once

#include <string>
#include <vector>

#include "support/raw_deflate.h"
#include "support/zip_builder.h"

namespace kv::test {

// A ZIP whose entry "bad.txt" does not end where its headers say; "good.txt" before it is sound.
struct MisSizedZip {
    const char* label;
    std::string bytes;
};

inline const char* const kSoundText = "sound entry\n";

inline std::vector<MisSizedZip> MisSizedZips() {
    const std::string text = "ten bytes!";
    const std::string packed = RawDeflate(text);
    const std::string longer(1000, 'x');
    const auto with_sound = [](ZipMember bad) {
        bad.name = "bad.txt";
        return BuildZip({{.name = "good.txt", .data = kSoundText}, std::move(bad)});
    };
    return {
        {"deflated, claims 4 GiB", with_sound({.data = text, .packed = packed, .method = 8, .claimed_size = 0xFFFFFFFE})},
        {"deflated ZIP64, claims 5 GiB",
         with_sound({.data = text, .packed = packed, .method = 8, .zip64 = true, .zip64_unpacked = 5ULL << 30})},
        {"deflated, runs on past its size", with_sound({.data = longer.substr(0, 100), .packed = RawDeflate(longer), .method = 8})},
        {"stored, cut short by the end of the archive",
         with_sound({.data = text, .claimed_size = 4000, .claimed_packed_size = 4000})},
    };
}

// One deflated MiB of zeros, "first.bin", and `copies` more central records ("copyNN.bin") that point at
// its local header: a small file that would extract to many times its size.
inline std::string OverlappingZip(int copies) {
    const std::string zeros(1 << 20, '\0');
    const std::string packed = RawDeflate(zeros);
    std::vector<ZipMember> members{{.name = "first.bin", .data = zeros, .packed = packed, .method = 8}};
    for (int i = 0; i < copies; ++i) {
        members.push_back({.name = "copy" + std::to_string(i) + ".bin", .data = zeros, .packed = packed, .method = 8,
                           .shares_member = 0});
    }
    return BuildZip(members);
}

}  // namespace kv::test
