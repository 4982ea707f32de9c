#include "engine/core/attribute_filter.h"

#include "engine/core/file_attributes.h"

namespace kv {
namespace {

constexpr std::uint32_t kNormal = 0x80;
constexpr std::uint32_t kNotContentIndexed = 0x2000;
constexpr std::uint32_t kVolumeId = 0x08;

bool PassesTest(std::uint32_t attributes, TArcFileAttributes set, bool is_include_test) {
    if (is_include_test && (attributes & kNotContentIndexed) != 0) return true;
    if (set.Has(fsZeroAttr) && (attributes == 0 || attributes == kNormal)) return true;
    return (attributes & AttributesToBits(set) & ~kVolumeId) != 0;
}

}  // namespace

bool AttributeFilterAccepts(std::uint32_t attributes, TArcFileAttributes include, TArcFileAttributes exclude) {
    return PassesTest(attributes, include, true) && !PassesTest(attributes, exclude, false);
}

}  // namespace kv
