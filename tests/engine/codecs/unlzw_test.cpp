#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/codecs/memory_byte_io.h"
#include "engine/codecs/unlzw.h"
#include "support/lsb_bit_writer.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kBlockMode = 0x80;

// 9-bit codes; a -1 marks the end of a group of eight, with the codes up to it as padding (zeros).
std::vector<std::uint8_t> PackNineBitCodes(const std::vector<int>& codes) {
    test::LsbBitWriter writer;
    unsigned in_group = 0;
    for (const int code : codes) {
        if (code < 0) {
            for (; in_group % 8 != 0; ++in_group) writer.Put(0, 9);
            continue;
        }
        writer.Put(static_cast<unsigned>(code), 9);
        ++in_group;
    }
    return writer.Bytes();
}

TEST(UnLzw, HandMadeCodeSequences) {
    struct Case {
        const char* name;
        std::uint8_t settings;
        std::vector<int> codes;
        TDecodeResult result;
        std::string output;
    };
    const Case cases[] = {
        {"literals", kBlockMode | 16, {'a', 'b', 'c'}, TDecodeResult::drOk, "abc"},
        {"known string", kBlockMode | 16, {'a', 'b', 257, 258}, TDecodeResult::drOk, "ababba"},
        {"code being defined", kBlockMode | 16, {'a', 257}, TDecodeResult::drOk, "aaa"},
        // After CLEAR the rest of the group of eight codes is padding, and 257 is free again.
        {"clear skips to the next group", kBlockMode | 16, {'a', 'b', 256, -1, 'c', 257}, TDecodeResult::drOk, "abccc"},
        // Without block mode 256 is an ordinary code: the first one defined.
        {"no block mode", 16, {'a', 256}, TDecodeResult::drOk, "aaa"},
        {"code beyond the next free one", kBlockMode | 16, {'a', 258}, TDecodeResult::drDataError, "a"},
        {"undefined first code", kBlockMode | 16, {257}, TDecodeResult::drDataError, ""},
        {"code beyond the table after clear", kBlockMode | 16, {'a', 'b', 258, 256, -1, 'c', 259}, TDecodeResult::drDataError, "abc"},
        {"wider than 16 bits", kBlockMode | 17, {'a'}, TDecodeResult::drDataError, ""},
        {"narrower than 9 bits", kBlockMode | 8, {'a'}, TDecodeResult::drDataError, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto packed = PackNineBitCodes(c.codes);
        for (const std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
            TMemorySource source(packed, chunk);
            TStringSink sink;
            EXPECT_EQ(UnLzw(source, sink, c.settings), c.result);
            if (c.result == TDecodeResult::drOk) {
                EXPECT_EQ(sink.Bytes, c.output);
            }
        }
    }
}

std::string DecodeCompressFile(const std::string& file, TDecodeResult* result = nullptr) {
    if (file.size() < 3) return "<no header>";
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
    TMemorySource source(bytes.subspan(3), 100000);
    TStringSink sink;
    const TDecodeResult decoded = UnLzw(source, sink, bytes[2]);
    if (result != nullptr) *result = decoded;
    return decoded == TDecodeResult::drOk ? sink.Bytes : "<failed>";
}

// Text, then random bytes that spoil the ratio (compress then clears its table), then text again.
std::string TextNoiseText(std::size_t size) {
    std::mt19937 random(7);
    std::string data;
    for (int i = 0; data.size() < size / 3; ++i) data += "line " + std::to_string(i * 37 % 1000) + " of the text\n";
    while (data.size() < 2 * size / 3) data.push_back(static_cast<char>(random()));
    for (int i = 0; data.size() < size; ++i) data += std::to_string(i) + ",";
    return data;
}

TEST(UnLzw, DecodesWhatCompressWrote) {
    if (!test::HaveProgram("compress")) GTEST_SKIP() << "compress is not installed";
    test::TempDir dir;
    std::mt19937 random(3);
    std::string noise(70000, '\0');
    for (char& byte : noise) byte = static_cast<char>(random());
    const std::pair<const char*, std::string> inputs[] = {
        {"text", TextNoiseText(3000).substr(0, 900)},
        {"random", noise},
        {"empty", ""},
        {"runs", std::string(200000, 'x') + std::string(5000, 'y')},
        {"mixed, large", TextNoiseText(600000)},
    };
    for (const auto& [name, data] : inputs) {
        test::WriteFile(dir / "in", data);
        // From 10 bits: ncompress's 9-bit output of more than a table's worth of data cannot be read back by
        // its own decoder or gzip's, and its -C output (no block mode) numbers its codes as if it had one;
        // hand-made streams cover both.
        for (int bits = 10; bits <= 16; ++bits) {
            SCOPED_TRACE(std::string(name) + ", -b " + std::to_string(bits));
            // compress refuses to write a file larger than its input: -f makes it.
            const std::string command = "compress -f -b " + std::to_string(bits) + " -c " + (dir / "in").string() +
                                        " > " + (dir / "in.Z").string();
            ASSERT_EQ(test::RunCommand(command), 0);
            EXPECT_TRUE(DecodeCompressFile(test::ReadFile(dir / "in.Z")) == data);
        }
    }
}

// Damaged streams end in a result, never a crash or an endless loop; some flipped bits give data errors
// (most just change the output: any code below the next free one is valid).
TEST(UnLzw, DamagedStreamsEndCleanly) {
    if (!test::HaveProgram("compress")) GTEST_SKIP() << "compress is not installed";
    test::TempDir dir;
    test::WriteFile(dir / "in", TextNoiseText(100000));
    ASSERT_EQ(test::RunCommand("compress -b 12 -c " + (dir / "in").string() + " > " + (dir / "in.Z").string()), 0);
    const std::string good = test::ReadFile(dir / "in.Z");
    std::mt19937 random(11);
    int errors = 0;
    for (int round = 0; round < 200; ++round) {
        std::string bad = good;
        for (int flip = 0; flip < 4; ++flip) bad[3 + random() % (bad.size() - 3)] ^= static_cast<char>(1 << (random() % 8));
        TDecodeResult result = TDecodeResult::drOk;
        DecodeCompressFile(bad, &result);
        if (result == TDecodeResult::drDataError) ++errors;
    }
    EXPECT_GT(errors, 0);
}

}  // namespace
}  // namespace kv
