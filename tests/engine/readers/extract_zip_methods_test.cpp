// The ZIP reader on the methods newer writers use: LZMA (14), XZ (95), Zstandard (93 and 20) and PPMd
// (98), plain and behind a cipher; damaged data and parameters beyond the decoders' limits.
#include <gtest/gtest.h>
#include <zstd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/archiver.h"
#include "support/reader_run.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

// Text of many different words: it fills a 1 MB PPMd model several times over, so that the model is
// restarted or cut down on the way.
std::string ManyWordsText(std::size_t size) {
    std::string text;
    std::uint32_t seed = 12345;
    while (text.size() < size) {
        seed = seed * 1103515245u + 12345u;
        const unsigned length = 2 + (seed >> 16) % 9;
        for (unsigned i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += static_cast<char>('a' + (seed >> 16) % 26);
        }
        text += (seed >> 8) % 11 == 0 ? ".\n" : " ";
    }
    return text;
}

std::string NoiseBytes(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint64_t seed = 0x9E3779B97F4A7C15ull;
    for (char& byte : bytes) {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        byte = static_cast<char>(seed);
    }
    return bytes;
}

struct MethodSample {
    const char* name;
    std::string data;
};

const std::vector<MethodSample>& MethodSamples() {
    static const std::vector<MethodSample> samples = {
        {"empty.txt", ""},
        {"one.txt", "x"},
        {"varied.txt", ManyWordsText(1536 << 10)},
        {"random.bin", NoiseBytes(300'000)},
    };
    return samples;
}

// The packed bytes of the first entry of a ZIP whose local header carries the sizes.
std::string FirstEntryPacked(const std::string& zip) {
    const auto field = [&](std::size_t at, int size) {
        std::uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(zip.at(at + i));
        return value;
    };
    const std::size_t data_at = 30 + field(26, 2) + field(28, 2);
    return zip.substr(data_at, field(18, 4));
}

// 7-Zip's archives of each method, small models included, and with either cipher, extract exactly.
TEST(ExtractZipMethods, SevenZipArchivesExtractExactly) {
    struct Case {
        const char* what;
        const char* switches;
    };
    const Case cases[] = {
        {"LZMA", "-mm=LZMA"},
        {"XZ", "-mm=XZ"},
        {"PPMd", "-mm=PPMd"},
        {"PPMd with a 1 MB model, restarted when full", "-mm=PPMd:mem=1m:o=16 -mx=5"},
        {"PPMd with a 1 MB model, cut down when full", "-mm=PPMd:mem=1m:o=16 -mx=9"},
        {"PPMd of order 2", "-mm=PPMd:o=2"},
        {"LZMA behind AES-256", "-mm=LZMA -mem=AES256 -psecret"},
        {"PPMd behind AES-256", "-mm=PPMd -mem=AES256 -psecret"},
        {"XZ behind AES-128", "-mm=XZ -mem=AES128 -psecret"},
        {"LZMA behind the classic cipher", "-mm=LZMA -mem=ZipCrypto -psecret"},
        {"PPMd behind the classic cipher", "-mm=PPMd -mem=ZipCrypto -psecret"},
    };
    test::TempDir dir;
    fs::create_directories(dir / "in");
    for (const MethodSample& sample : MethodSamples()) test::WriteFile(dir / "in" / sample.name, sample.data);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path archive = dir / "made.zip";
        fs::remove(archive);
        if (!test::RunArchiver("7zz", dir / "in", "7zz a -tzip " + std::string(c.switches) + " " +
                                                      test::Quoted(archive) + " . >/dev/null"))
            GTEST_SKIP() << "7zz (package 7zip) is not installed";
        const fs::path out = dir / "out";
        fs::remove_all(out);
        const bool enciphered = std::string(c.switches).find("-p") != std::string::npos;
        EXPECT_EQ(test::ExtractWithReader(archive, atZip, out, enciphered ? "secret" : ""), "");
        for (const MethodSample& sample : MethodSamples())
            EXPECT_TRUE(test::ReadFile(out / sample.name) == sample.data) << sample.name;
    }
}

std::string ZstdFrame(const std::string& data, int level = 3) {
    std::string packed(ZSTD_compressBound(data.size()), '\0');
    const std::size_t size = ZSTD_compress(packed.data(), packed.size(), data.data(), data.size(), level);
    EXPECT_FALSE(ZSTD_isError(size));
    packed.resize(size);
    return packed;
}

// No common tool writes Zstandard into ZIP: the entries are made here, under both method numbers, one
// of them of two frames. 7-Zip, which reads method 93 (not 20), agrees that the fixture is sound.
TEST(ExtractZipMethods, ZstandardEntriesExtractExactly) {
    const std::string text = ManyWordsText(1 << 20);
    const std::string random = NoiseBytes(100'000);
    const std::vector<test::ZipMember> members = {
        {.name = "text.txt", .data = text, .packed = ZstdFrame(text), .method = 93},
        {.name = "old.txt", .data = text, .packed = ZstdFrame(text, 19), .method = 20},
        {.name = "random.bin", .data = random, .packed = ZstdFrame(random), .method = 93},
        {.name = "empty.txt", .data = "", .packed = ZstdFrame(""), .method = 93},
        {.name = "frames.txt", .data = text + random, .packed = ZstdFrame(text) + ZstdFrame(random), .method = 93},
    };
    test::TempDir dir;
    const fs::path archive = dir / "zstd.zip";
    test::WriteFile(archive, test::BuildZip(members));
    EXPECT_EQ(test::ExtractWithReader(archive, atZip, dir / "out"), "");
    for (const test::ZipMember& member : members)
        EXPECT_TRUE(test::ReadFile(dir / "out" / member.name) == member.data) << member.name;
    if (test::HaveProgram("7zz")) {
        std::vector<test::ZipMember> current = members;
        std::erase_if(current, [](const test::ZipMember& member) { return member.method != 93; });
        test::WriteFile(archive, test::BuildZip(current));
        std::string output;
        EXPECT_EQ(test::RunCommand("7zz t " + test::Quoted(archive), &output), 0) << output;
    }
}

// A damaged stream of any method fails its entry with an error, leaves no output behind, and the entries
// after it still extract.
TEST(ExtractZipMethods, DamagedDataFailsTheEntryAndLeavesNoFile) {
    test::TempDir dir;
    const std::string text = ManyWordsText(200'000);
    fs::create_directories(dir / "in");
    test::WriteFile(dir / "in" / "a.txt", text);
    struct Method {
        const char* name;
        std::uint16_t number;
        std::string packed;
    };
    std::vector<Method> methods = {{"Zstd", 93, ZstdFrame(text)}};
    for (const auto& [name, number] : {std::pair{"LZMA", 14}, {"XZ", 95}, {"PPMd", 98}}) {
        const fs::path made = dir / (std::string(name) + ".zip");
        if (!test::RunArchiver("7zz", dir / "in",
                               "7zz a -tzip -mm=" + std::string(name) + " " + test::Quoted(made) + " a.txt >/dev/null"))
            continue;
        methods.push_back({name, static_cast<std::uint16_t>(number), FirstEntryPacked(test::ReadFile(made))});
    }
    struct Damage {
        const char* what;
        std::string (*apply)(std::string);
    };
    const Damage damages[] = {
        {"cut in half", [](std::string p) { return p.substr(0, p.size() / 2); }},
        {"cut after its head", [](std::string p) { return p.substr(0, 12); }},
        {"bytes changed in the middle",
         [](std::string p) {
             for (std::size_t i = p.size() / 2; i < p.size() / 2 + 16; ++i) p[i] = static_cast<char>(p[i] ^ 0x5A);
             return p;
         }},
        {"second half zeroed",
         [](std::string p) {
             std::fill(p.begin() + static_cast<std::ptrdiff_t>(p.size() / 2), p.end(), '\0');
             return p;
         }},
    };
    for (const Method& method : methods) {
        for (const Damage& damage : damages) {
            SCOPED_TRACE(std::string(method.name) + ", " + damage.what);
            const fs::path archive = dir / "damaged.zip";
            test::WriteFile(archive, test::BuildZip({{.name = "bad.txt", .data = text, .packed = damage.apply(method.packed),
                                                      .method = method.number},
                                                     {.name = "after.txt", .data = "still here"}}));
            const fs::path out = dir / "out";
            fs::remove_all(out);
            const std::string reported = test::ExtractWithReader(archive, atZip, out);
            // The decoder finds the damage, or the checksum does.
            EXPECT_TRUE(reported.find("bad.txt: Decompression error") != std::string::npos ||
                        reported.find("bad.txt: fails its check") != std::string::npos)
                << reported;
            EXPECT_EQ(reported.find("after.txt"), std::string::npos) << reported;
            EXPECT_FALSE(fs::exists(out / "bad.txt"));
            EXPECT_EQ(test::ReadFile(out / "after.txt"), "still here");
        }
    }
}

// An empty entry of a method with a head needs nothing after it: writers differ in what they put there.
TEST(ExtractZipMethods, EmptyEntriesOfOnlyTheHeadExtract) {
    std::string lzma_head("\x10\x02\x05\x00\x5D\x00\x00\x10\x00", 9);
    const std::string ppmd_head("\x77\x00", 2);
    test::TempDir dir;
    const fs::path archive = dir / "empty.zip";
    test::WriteFile(archive, test::BuildZip({{.name = "lzma.txt", .packed = lzma_head, .method = 14},
                                             {.name = "ppmd.txt", .packed = ppmd_head, .method = 98}}));
    EXPECT_EQ(test::ExtractWithReader(archive, atZip, dir / "out"), "");
    for (const char* name : {"lzma.txt", "ppmd.txt"}) {
        EXPECT_TRUE(fs::exists(dir / "out" / name)) << name;
        EXPECT_EQ(test::ReadFile(dir / "out" / name), "") << name;
    }
}

// Parameters beyond what a decoder allows are refused as an unknown method is, before any memory is
// taken for them.
TEST(ExtractZipMethods, ParametersBeyondTheLimitsAreRefused) {
    const auto lzma_head = [](std::uint32_t dictionary) {
        std::string head = "\x10\x02\x05";
        head += '\0';
        head += '\x5D';
        test::Put32(head, dictionary);
        return head + std::string(32, '\0');
    };
    const auto ppmd_head = [](unsigned fields) {
        std::string head;
        test::Put16(head, fields);
        return head + std::string(32, '\x11');
    };
    // A frame whose window is 2^31 bytes.
    const std::string zstd_wide_window("\x28\xB5\x2F\xFD\x00\xA8\x01\x00\x00", 9);
    struct Case {
        const char* what;
        std::uint16_t method;
        std::string packed;
        std::uint32_t size;
    };
    const Case cases[] = {
        {"LZMA with a 4 GiB dictionary for a 2 GiB entry", 14, lzma_head(0xFFFFFFFF), 0x80000000},
        {"PPMd of order 1", 98, ppmd_head(0x0070), 100},
        {"PPMd restored by freezing (method 2)", 98, ppmd_head(0x2077), 100},
        {"Zstandard with a 2 GiB window", 93, zstd_wide_window, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const fs::path archive = dir / "refused.zip";
        test::WriteFile(archive, test::BuildZip({{.name = "big.bin", .data = "", .packed = c.packed, .method = c.method,
                                                  .claimed_size = c.size}}));
        const std::string reported = test::ExtractWithReader(archive, atZip, dir / "out");
        EXPECT_NE(reported.find("big.bin: Unsupported compression method"), std::string::npos) << reported;
        EXPECT_FALSE(fs::exists(dir / "out" / "big.bin"));
    }
}

}  // namespace
}  // namespace kv
