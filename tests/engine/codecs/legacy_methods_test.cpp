// The old PKZIP methods (Shrink, Reduce, Implode) against the real archives of the corpus, and all three
// against hostile input. Info-ZIP's zip cannot make these methods, so the corpus is the source of real data.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "engine/codecs/explode.h"
#include "engine/codecs/memory_byte_io.h"
#include "engine/codecs/unreduce.h"
#include "engine/codecs/unshrink.h"
#include "support/corpus_manifest.h"
#include "support/file_digest.h"
#include "support/test_support.h"
#include "support/zip_entry_bytes.h"

namespace kv {
namespace {

using test::ZipEntryBytes;

bool IsLegacyMethod(std::uint16_t method) { return method >= 1 && method <= 6; }

// Decodes by ZIP method and general-purpose flags, as the ZIP reader will.
TDecodeResult DecodeZipMethod(std::uint16_t method, std::uint16_t flags, TByteSource& source, TByteSink& sink,
                              std::uint64_t unpacked_size) {
    if (method == 1) return Unshrink(source, sink, unpacked_size);
    if (method <= 5) return Unreduce(source, sink, unpacked_size, method - 1);
    return Explode(source, sink, unpacked_size, (flags & 2) != 0, (flags & 4) != 0);
}

std::vector<ZipEntryBytes> CorpusZipEntries(const std::string& corpus_path) {
    return test::ReadZipEntries(test::ReadFile(test::CorpusDir() / corpus_path)).value_or(std::vector<ZipEntryBytes>{});
}

std::vector<std::uint8_t> CorpusBytes(const std::string& corpus_path) {
    const std::string bytes = test::ReadFile(test::CorpusDir() / corpus_path);
    return {bytes.begin(), bytes.end()};
}

struct CorpusSample {
    const char* archive;
    // A member list that two extractors agreed on and that holds the same files. No such tool reads
    // Reduce, so the reduced samples are checked against the list of a sibling archive of the same files.
    const char* expected;
};

constexpr CorpusSample kCorpusSamples[] = {
    {"commons-compress/SHRUNK.ZIP", "commons-compress/SHRUNK.ZIP"},
    {"sharpcompress/Archives/Zip.shrink.zip", "sharpcompress/Archives/Zip.shrink.zip"},
    {"zip2/legacy/shrink.zip", "zip2/legacy/shrink.zip"},
    {"sharpcompress/Archives/Zip.reduce1.zip", "sharpcompress/Archives/Zip.shrink.zip"},
    {"sharpcompress/Archives/Zip.reduce2.zip", "sharpcompress/Archives/Zip.shrink.zip"},
    {"sharpcompress/Archives/Zip.reduce3.zip", "sharpcompress/Archives/Zip.shrink.zip"},
    {"sharpcompress/Archives/Zip.reduce4.zip", "sharpcompress/Archives/Zip.shrink.zip"},
    {"zip2/legacy/reduce.zip", "zip2/legacy/shrink.zip"},
    {"commons-compress/imploding-4Kdict-2trees.zip", "commons-compress/imploding-4Kdict-2trees.zip"},
    {"commons-compress/imploding-8Kdict-3trees.zip", "commons-compress/imploding-8Kdict-3trees.zip"},
    {"commons-compress/lorem-ipsum-implode.zip", "commons-compress/lorem-ipsum-implode.zip"},
    {"commons-compress/moby-imploded.zip", "commons-compress/moby-imploded.zip"},
    {"sharpcompress/Archives/Zip.implode.zip", "sharpcompress/Archives/Zip.implode.zip"},
    {"zip2/legacy/implode.zip", "zip2/legacy/implode.zip"},
};

constexpr std::size_t kInputChunkSizes[] = {1, 7, SIZE_MAX};

// Every shrunk, reduced and imploded entry decodes, in any input chunking, to the size and CRC-32 of its
// central header, and a trusted member list holds a file of that size and CRC-32.
TEST(LegacyMethods, CorpusEntriesDecodeToTheExpectedFiles) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    std::vector<bool> methods_seen(7, false);
    std::vector<bool> implode_flags_seen(8, false);
    for (const CorpusSample& sample : kCorpusSamples) {
        SCOPED_TRACE(sample.archive);
        const auto expected = test::ReadExpectedContents(sample.expected);
        ASSERT_TRUE(expected && expected->trusted());
        const auto entries = CorpusZipEntries(sample.archive);
        ASSERT_FALSE(entries.empty());
        for (const ZipEntryBytes& entry : entries) {
            if (!IsLegacyMethod(entry.method)) continue;
            SCOPED_TRACE(entry.name);
            methods_seen[entry.method] = true;
            if (entry.method == 6) implode_flags_seen[entry.flags & 6] = true;
            const bool listed = std::any_of(expected->members.begin(), expected->members.end(), [&](const auto& m) {
                return m.size == static_cast<std::int64_t>(entry.unpacked_size) && m.crc32 == entry.crc32;
            });
            EXPECT_TRUE(listed);
            for (const std::size_t chunk : kInputChunkSizes) {
                SCOPED_TRACE(chunk);
                TMemorySource source(entry.PackedBytes(), chunk);
                TStringSink sink;
                ASSERT_EQ(DecodeZipMethod(entry.method, entry.flags, source, sink, entry.unpacked_size),
                          TDecodeResult::drOk);
                EXPECT_EQ(sink.Bytes.size(), entry.unpacked_size);
                EXPECT_EQ(test::Crc32(sink.Bytes), entry.crc32);
            }
        }
    }
    // The samples cover every method; of the implode variants they hold 4 KiB with two trees and 8 KiB with
    // three (explode_test.cpp builds the other two).
    for (int method = 1; method <= 6; ++method) EXPECT_TRUE(methods_seen[method]) << method;
    for (int flags : {0, 6}) EXPECT_TRUE(implode_flags_seen[flags]) << flags;
}

// Bare streams without ZIP headers: a reference before the first byte reads zeros (the "zero" sample's last
// kilobyte), and a 2-tree implode stream uses raw literals with a minimum match of 2.
TEST(LegacyMethods, BareStreamsDecodeToTheirTexts) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const auto hamlet_256 = CorpusBytes("zip2/legacy/implode_hamlet_256.out");
    const auto hamlet_2048 = CorpusBytes("zip2/legacy/implode_hamlet_2048.out");
    ASSERT_EQ(hamlet_2048.size(), 2048u);
    for (const std::size_t chunk : kInputChunkSizes) {
        SCOPED_TRACE(chunk);
        {
            const auto packed = CorpusBytes("zip2/legacy/implode_hamlet_256.bin");
            TMemorySource source(packed, chunk);
            TStringSink sink;
            EXPECT_EQ(Explode(source, sink, 256, false, false), TDecodeResult::drOk);
            EXPECT_EQ(sink.Bytes, std::string(hamlet_256.begin(), hamlet_256.end()));
        }
        {
            const auto packed = CorpusBytes("zip2/legacy/reduce_hamlet_2048.bin");
            TMemorySource source(packed, chunk);
            TStringSink sink;
            EXPECT_EQ(Unreduce(source, sink, 2048, 4), TDecodeResult::drOk);
            EXPECT_EQ(sink.Bytes, std::string(hamlet_2048.begin(), hamlet_2048.end()));
        }
        {
            const auto packed = CorpusBytes("zip2/legacy/reduce_zero_reduced.bin");
            TMemorySource source(packed, chunk);
            TStringSink sink;
            EXPECT_EQ(Unreduce(source, sink, 3072, 4), TDecodeResult::drOk);
            EXPECT_EQ(sink.Bytes, std::string(hamlet_2048.begin(), hamlet_2048.end()) + std::string(1024, '\0'));
        }
    }
}

// Records the size of each block handed to it.
class BlockSizeSink : public TByteSink {
public:
    bool Write(const std::uint8_t*, std::size_t size) override {
        sizes.push_back(size);
        return true;
    }
    std::vector<std::size_t> sizes;
};

// Output leaves in blocks of 32 KiB, only the last one shorter, and a sink that refuses a block stops the
// decoder at once.
TEST(LegacyMethods, OutputGoesInLargeBlocksAndStopsWhenTheSinkRefuses) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    const ZipEntryBytes imploded = CorpusZipEntries("commons-compress/lorem-ipsum-implode.zip").at(0);
    const ZipEntryBytes reduced = CorpusZipEntries("sharpcompress/Archives/Zip.reduce1.zip").at(1);
    const ZipEntryBytes shrunk = CorpusZipEntries("sharpcompress/Archives/Zip.shrink.zip").at(1);
    for (const ZipEntryBytes* entry : {&imploded, &reduced, &shrunk}) {
        SCOPED_TRACE(entry->name);
        ASSERT_GT(entry->unpacked_size, 32768u);
        {
            TMemorySource source(entry->PackedBytes(), 5);
            BlockSizeSink sink;
            ASSERT_EQ(DecodeZipMethod(entry->method, entry->flags, source, sink, entry->unpacked_size),
                      TDecodeResult::drOk);
            ASSERT_FALSE(sink.sizes.empty());
            for (std::size_t i = 0; i + 1 < sink.sizes.size(); ++i) EXPECT_EQ(sink.sizes[i], 32768u);
        }
        {
            TMemorySource source(entry->PackedBytes());
            TStringSink sink(1000);
            EXPECT_EQ(DecodeZipMethod(entry->method, entry->flags, source, sink, entry->unpacked_size),
                      TDecodeResult::drStopped);
            EXPECT_TRUE(sink.Bytes.empty());
        }
    }
}

// Each method and variant, as the fuzz target picks them.
struct LegacyVariant {
    const char* name;
    std::uint16_t method;
    std::uint16_t flags;
};

constexpr LegacyVariant kVariants[] = {
    {"shrink", 1, 0},          {"reduce1", 2, 0},         {"reduce2", 3, 0},        {"reduce3", 4, 0},
    {"reduce4", 5, 0},         {"implode 4K", 6, 0},      {"implode 8K", 6, 2},     {"implode 4K literals", 6, 4},
    {"implode 8K literals", 6, 6},
};

// Hostile input ends in an error: random bytes, real streams cut short, and a huge declared size behind a
// few bytes. Nothing reads out of bounds (the sanitizer build checks), nothing loops, and the output never
// exceeds the declared size.
TEST(LegacyMethods, HostileInputEndsInAnError) {
    std::mt19937 random(20240607);
    std::vector<std::vector<std::uint8_t>> inputs = {{}, {0x00}, {0xFF}, std::vector<std::uint8_t>(300, 0xFF),
                                                     std::vector<std::uint8_t>(300, 0x00)};
    for (const std::size_t size : {1, 16, 200, 5000}) {
        std::vector<std::uint8_t> bytes(size);
        for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
        inputs.push_back(std::move(bytes));
    }
    for (const LegacyVariant& variant : kVariants) {
        SCOPED_TRACE(variant.name);
        for (const auto& input : inputs) {
            SCOPED_TRACE(input.size());
            for (const std::uint64_t declared : {std::uint64_t{70000}, std::uint64_t{1} << 40}) {
                TMemorySource source(input, 3);
                TStringSink sink;
                const TDecodeResult result = DecodeZipMethod(variant.method, variant.flags, source, sink, declared);
                EXPECT_TRUE(result == TDecodeResult::drDataError || result == TDecodeResult::drTruncated);
                EXPECT_LE(sink.Bytes.size(), declared);
            }
        }
    }
}

TEST(LegacyMethods, CutStreamsReportTruncation) {
    if (test::CorpusDir().empty()) GTEST_SKIP() << "corpus absent";
    for (const char* archive : {"sharpcompress/Archives/Zip.shrink.zip", "sharpcompress/Archives/Zip.reduce3.zip",
                                "commons-compress/imploding-8Kdict-3trees.zip",
                                "commons-compress/imploding-4Kdict-2trees.zip"}) {
        for (const ZipEntryBytes& entry : CorpusZipEntries(archive)) {
            if (!IsLegacyMethod(entry.method)) continue;
            SCOPED_TRACE(entry.name);
            for (const std::size_t keep : {std::size_t{0}, std::size_t{1}, std::size_t{20}, entry.packed.size() / 2,
                                           entry.packed.size() - 2}) {
                SCOPED_TRACE(keep);
                const std::vector<std::uint8_t> cut(entry.packed.begin(),
                                                    entry.packed.begin() + static_cast<std::ptrdiff_t>(keep));
                TMemorySource source(cut, 7);
                TStringSink sink;
                EXPECT_EQ(DecodeZipMethod(entry.method, entry.flags, source, sink, entry.unpacked_size),
                          TDecodeResult::drTruncated);
                EXPECT_LT(sink.Bytes.size(), entry.unpacked_size);
            }
        }
    }
}

}  // namespace
}  // namespace kv
