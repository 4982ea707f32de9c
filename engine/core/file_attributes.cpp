#include "engine/core/file_attributes.h"

#include <array>

namespace kv {
namespace {

// Indexed by TArcFileAttribute.
constexpr std::array<std::uint32_t, 9> kAttributeBits{
    0,       // fsZeroAttr
    0x0001,  // fsReadOnly
    0x0002,  // fsHidden
    0x0004,  // fsSysFile
    0x0008,  // fsVolumeID
    0x0010,  // fsDirectory
    0x0020,  // fsArchive
    0x0800,  // fsCompressed
    0x4000,  // fsEncrypted
};
static_assert(kAttributeBits.size() == fsEncrypted + 1);

}  // namespace

std::uint32_t AttributesToBits(TArcFileAttributes attributes) {
    std::uint32_t bits = 0;
    for (std::size_t a = 0; a < kAttributeBits.size(); ++a) {
        if (attributes.Has(static_cast<TArcFileAttribute>(a))) bits |= kAttributeBits[a];
    }
    return bits;
}

}  // namespace kv
