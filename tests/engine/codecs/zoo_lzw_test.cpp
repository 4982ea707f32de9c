// ZOO's LZW decoder on streams from the test-side encoder and on hand-made codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/codecs/memory_byte_io.h"
#include "engine/codecs/zoo_lzw.h"
#include "support/zoo_fixture.h"

namespace kv {
namespace {

struct Decoded {
    TDecodeResult result;
    std::string bytes;
};

Decoded DecodeZoo(const std::string& packed, std::size_t chunk = SIZE_MAX) {
    const std::vector<std::uint8_t> bytes(packed.begin(), packed.end());
    TMemorySource source(bytes, chunk);
    TStringSink sink;
    const TDecodeResult result = UnZooLzw(source, sink);
    return {result, sink.Bytes};
}

std::string Codes(const std::vector<std::pair<unsigned, unsigned>>& codes) {
    test::LsbBitWriter out;
    for (const auto& [code, bits] : codes) out.Put(code, bits);
    return {out.Bytes().begin(), out.Bytes().end()};
}

// Text whose strings fill the table, so that the encoder clears it on the way.
std::string TableFilling() {
    std::string data;
    for (unsigned i = 0; data.size() < 200000; ++i) data += std::to_string(i * 7919u % 100003u) + ",";
    return data;
}

TEST(ZooLzw, EncodedStreamsDecodeInAnyChunks) {
    const std::string filling = TableFilling();
    for (const std::string& data : {std::string(), std::string("a"), std::string(5000, 'x'), filling}) {
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, SIZE_MAX}) {
            const Decoded decoded = DecodeZoo(test::ZooLzw(data), chunk);
            EXPECT_EQ(decoded.result, TDecodeResult::drOk);
            EXPECT_TRUE(decoded.bytes == data) << data.size() << " bytes in chunks of " << chunk;
        }
    }
}

TEST(ZooLzw, CodesTheTableDoesNotHoldAreRefused) {
    // After a clear only the bytes and the code being defined are valid; codes of the table before the clear
    // are gone with it.
    struct Case {
        const char* what;
        std::string packed;
        TDecodeResult result;
        std::string bytes;
    };
    const Case cases[] = {
        {"the code being defined", Codes({{256, 9}, {'a', 9}, {258, 9}, {257, 9}}), TDecodeResult::drOk, "aaa"},
        {"above the next free code", Codes({{256, 9}, {'a', 9}, {259, 9}, {257, 9}}), TDecodeResult::drDataError, ""},
        {"a code from before the clear", Codes({{256, 9}, {'a', 9}, {'b', 9}, {'a', 9}, {256, 9}, {'c', 9}, {259, 9}}),
         TDecodeResult::drDataError, ""},
        {"a string code first", Codes({{256, 9}, {258, 9}, {257, 9}}), TDecodeResult::drDataError, ""},
        {"no end code", Codes({{256, 9}, {'a', 9}, {'b', 9}}), TDecodeResult::drTruncated, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Decoded decoded = DecodeZoo(c.packed);
        EXPECT_EQ(decoded.result, c.result);
        if (c.result == TDecodeResult::drOk) {
            EXPECT_EQ(decoded.bytes, c.bytes);
        }
    }
}

}  // namespace
}  // namespace kv
