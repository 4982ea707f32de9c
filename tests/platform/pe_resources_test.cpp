#include "platform/pe_resources.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/pe_fixture.h"

namespace kv::platform {
namespace {

TReadAt Reader(const std::string& bytes) {
    return [&bytes](std::int64_t offset, void* buffer, std::int64_t count) -> std::int64_t {
        if (count <= 0 || offset < 0 || offset >= static_cast<std::int64_t>(bytes.size())) return 0;
        const std::int64_t n = std::min<std::int64_t>(count, static_cast<std::int64_t>(bytes.size()) - offset);
        std::memcpy(buffer, bytes.data() + offset, static_cast<std::size_t>(n));
        return n;
    };
}

TEST(PeResources, LoadsStringsByIdentifier) {
    const std::string pe = test::MakePeWithStrings({{1, u"4096"}, {7, u"seven"}, {20, u"twenty"}}, 4096);
    const auto resources = TPeResources::Open(Reader(pe), static_cast<std::int64_t>(pe.size()));
    ASSERT_TRUE(resources);
    EXPECT_EQ(resources->LoadString(1, 5), u"4096");
    EXPECT_EQ(resources->LoadString(7, 5), u"seven");
    EXPECT_EQ(resources->LoadString(7, 3), u"sev");
    EXPECT_EQ(resources->LoadString(20, 100), u"twenty");  // the second block
    EXPECT_EQ(resources->LoadString(3, 5), u"");           // a slot of an existing block
    EXPECT_FALSE(resources->LoadString(40, 5));            // no such block
    EXPECT_FALSE(resources->LoadString(0x10000, 5));
}

TEST(PeResources, RefusesWhatIsNoPeImage) {
    const std::string pe = test::MakePeWithStrings({{1, u"4096"}}, 1024);
    EXPECT_FALSE(TPeResources::Open(Reader("MZ"), 2));
    EXPECT_FALSE(TPeResources::Open(Reader(std::string(4096, 'M')), 4096));
    std::string no_signature = pe;
    no_signature[0x40] = 'X';
    EXPECT_FALSE(TPeResources::Open(Reader(no_signature), static_cast<std::int64_t>(no_signature.size())));
    // Every truncation parses or refuses, without reading outside the file.
    for (std::size_t size = 0; size < pe.size(); ++size) {
        const std::string cut = pe.substr(0, size);
        if (const auto resources = TPeResources::Open(Reader(cut), static_cast<std::int64_t>(size))) {
            for (std::uint32_t id = 0; id < 20; ++id) resources->LoadString(id, 5);
        }
    }
    // Directory offsets and counts that point anywhere.
    for (std::size_t at = 0x200; at < pe.size(); ++at) {
        std::string spoiled = pe;
        spoiled[at] = static_cast<char>(0xFF);
        if (const auto resources = TPeResources::Open(Reader(spoiled), static_cast<std::int64_t>(spoiled.size()))) {
            resources->LoadString(1, 5);
        }
    }
}

}  // namespace
}  // namespace kv::platform
