// The ZIP writing blocks on their own: header records read back by the engine's reader code, names,
// streamed entries (with the stored fallback and both ciphers) and the ordered encoder's budget.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <random>
#include <stdexcept>

#include "engine/core/stream32.h"
#include "engine/core/zip_headers.h"
#include "engine/writers/existing_zip.h"
#include "engine/writers/ordered_encoder.h"
#include "engine/writers/zip_archive_writer.h"
#include "engine/writers/zip_records.h"
#include "engine/writers/zip_stored_name.h"
#include "support/test_support.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

TEST(ZipRecords, Zip64ValuesReadBackThroughTheReader) {
    struct Case {
        std::uint64_t Unpacked, Packed, Offset;
    };
    for (const Case& c : {Case{10, 5, 100}, Case{std::uint64_t{5} << 32, 7, 100}, Case{3, 2, std::uint64_t{6} << 32},
                          Case{std::uint64_t{5} << 32, std::uint64_t{5} << 32, std::uint64_t{9} << 32}}) {
        TZipRecordEntry entry;
        entry.StoredName = "name.txt";
        entry.UnpackedSize = c.Unpacked;
        entry.PackedSize = c.Packed;
        entry.LocalOffset = c.Offset;
        entry.CentralExtra = {0x55, 0x54, 1, 0, 7};  // another field stays behind ours
        std::vector<std::uint8_t> bytes;
        AppendCentralHeader(bytes, entry);
        ASSERT_EQ(bytes.size(), CentralHeaderSize(entry));
        TZipEntryHeader header = ParseZipCentralHeader(bytes.data());
        ASSERT_TRUE(ReadZipExtraFields(bytes.data() + 46 + header.NameLength, header.ExtraLength, entry.StoredName, true,
                                       header));
        EXPECT_EQ(header.UnpackedSize, c.Unpacked);
        EXPECT_EQ(header.PackedSize, c.Packed);
        EXPECT_EQ(header.LocalOffset, c.Offset);
        const auto kept = WithoutZip64Field(bytes.data() + 46 + header.NameLength, header.ExtraLength);
        EXPECT_EQ(kept, entry.CentralExtra);
        EXPECT_EQ(header.VersionNeeded, c.Unpacked < kZip32Limit && c.Offset < kZip32Limit ? 20 : 45);
    }
}

TEST(ZipRecords, EndRecordsTurnZip64ForCountsSizesAndOffsets) {
    struct Case {
        std::uint64_t Count, Offset, Size;
        bool Zip64;
    };
    for (const Case& c : {Case{65534, 10, 10, false}, Case{65535, 10, 10, true}, Case{1, kZip32Limit, 10, true},
                          Case{1, 10, kZip32Limit, true}}) {
        std::vector<std::uint8_t> bytes;
        AppendEndRecords(bytes, c.Count, c.Offset, c.Size, "hi");
        EXPECT_EQ(bytes.size(), (c.Zip64 ? 56 + 20 : 0) + 22 + 2u);
        EXPECT_EQ(bytes[bytes.size() - 24], 'P');
    }
}

TEST(ZipStoredNames, OemWhereItHoldsTheNameElseUtf8) {
    struct Case {
        const char* Name;
        TZipNameEncoding Encoding;
        const char* Bytes;
        bool Utf8;
    };
    for (const Case& c : {Case{"dir/a.txt", TZipNameEncoding::znOem, "dir/a.txt", false},
                          Case{"caf\xC3\xA9", TZipNameEncoding::znOem, "caf\x82", false},
                          Case{"caf\xC3\xA9", TZipNameEncoding::znUtf8, "caf\xC3\xA9", true},
                          Case{"\xE2\x82\xAC", TZipNameEncoding::znOem, "\xE2\x82\xAC", true},
                          Case{"plain", TZipNameEncoding::znUtf8, "plain", false}}) {
        const TZipStoredName stored = MakeZipStoredName(c.Name, c.Encoding);
        EXPECT_EQ(stored.Bytes, c.Bytes) << c.Name;
        EXPECT_EQ(stored.Utf8, c.Utf8) << c.Name;
    }
}

std::vector<std::uint8_t> Random(std::size_t size) {
    std::mt19937 random(3);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

// Streamed entries as peers read them: deflate that grows falls back to stored; the classic cipher adds a
// data descriptor; AES works streamed; buffered entries sit between them.
TEST(ZipArchiveWriter, StreamedEntriesPassPeerTools) {
    test::TempDir dir;
    const fs::path archive = dir / "w.zip";
    const std::vector<std::uint8_t> noise = Random(300000);
    std::string text;
    while (text.size() < 400000) text += "streamed text line\n";
    test::WriteFile(dir / "noise", noise);
    test::WriteFile(dir / "text", text);
    std::vector<std::string> names;
    {
        TFileStream32 out(archive.string(), TFileOpenMode::fmCreate);
        ASSERT_TRUE(out.IsValid());
        TZipArchiveWriter writer(out);
        struct Case {
            const char* Name;
            const char* Source;
            TEntryCipherKind Cipher;
            std::uint16_t Method;  // the data's method
        };
        for (const Case& c : {Case{"noise.bin", "noise", TEntryCipherKind::ecNone, kZipMethodStored},
                              Case{"text.txt", "text", TEntryCipherKind::ecZipCrypto, kZipMethodDeflated},
                              Case{"noise.crypt", "noise", TEntryCipherKind::ecZipCrypto, kZipMethodStored},
                              Case{"text.aes", "text", TEntryCipherKind::ecAes, kZipMethodDeflated}}) {
            SCOPED_TRACE(c.Name);
            TFileStream32 source((dir / c.Source).string(), TFileOpenMode::fmOpenRead);
            TZipRecordEntry entry;
            entry.StoredName = c.Name;
            entry.DosDateTime = 0x5A215A21;
            TEntryEncoding encoding;
            encoding.Level = 6;
            encoding.Cipher = {c.Cipher, "pw", 3};
            std::int64_t progress = 0;
            ASSERT_EQ(writer.AddStreamed(entry, source.Size(), source, encoding,
                                         [&](std::int64_t bytes) { return (progress += bytes), true; }),
                      TStreamOutcome::soDone);
            EXPECT_EQ(progress % source.Size(), 0);
            const TZipRecordEntry& written = writer.Entries().back();
            EXPECT_EQ(written.Method, c.Cipher == TEntryCipherKind::ecAes ? 99 : c.Method);
            EXPECT_EQ((written.Flags & 0x0008) != 0, c.Cipher == TEntryCipherKind::ecZipCrypto);
            TBufferEncoder encoder;
            TZipRecordEntry buffered;
            buffered.StoredName = std::string("buffered-") + c.Name;
            const auto packed = encoder.Encode(reinterpret_cast<const std::uint8_t*>(text.data()), 1000, encoding, buffered);
            ASSERT_TRUE(writer.AddEncoded(buffered, packed));
        }
        ASSERT_TRUE(writer.Finish("", {}));
    }
    std::string output;
    if (test::HaveProgram("7z")) {
        EXPECT_EQ(test::RunCommand("7z t -ppw '" + archive.string() + "' 2>&1", &output), 0) << output;
        EXPECT_EQ(test::RunCommand("7z x -ppw -so '" + archive.string() + "' noise.crypt | cmp - '" + (dir / "noise").string() + "'"), 0);
    }
    if (test::HaveProgram("unzip")) {
        EXPECT_EQ(test::RunCommand("unzip -t -P pw '" + archive.string() + "' -x '*.aes' 2>&1", &output), 0) << output;
    }
    // The writer's own archives read back as kept entries that reach exactly to one another.
    TFileStream32 in(archive.string(), TFileOpenMode::fmOpenRead);
    const auto existing = ReadExistingZip(in, archive.string());
    ASSERT_TRUE(existing.has_value());
    ASSERT_EQ(existing->Entries.size(), 8u);
    EXPECT_EQ(existing->Entries[0].Offset, 0);
    EXPECT_EQ(existing->Entries[1].Offset, existing->Entries[0].Length);
}

// Workers run ahead only within the budget, an entry larger than it runs alone, and entries come out in
// order whatever finishes first.
TEST(OrderedEncoder, KeepsOrderAndTheMemoryBudget) {
    constexpr std::size_t kCount = 40;
    constexpr std::int64_t kBudget = 100;
    const auto cost = [](std::size_t i) -> std::int64_t { return i == 7 ? -1 : i == 20 ? 250 : 30; };
    std::atomic<std::int64_t> in_flight{0};
    std::atomic<std::int64_t> worst{0};
    for (const unsigned threads : {1u, 3u}) {
        worst = 0;
        TOrderedEncoder encoder(
            kCount, cost,
            [&](std::size_t i, TBufferEncoder&) {
                const std::int64_t now = in_flight += cost(i);
                std::int64_t seen = worst;
                while (now > seen && !worst.compare_exchange_weak(seen, now)) {
                }
                std::this_thread::sleep_for(std::chrono::microseconds((kCount - i) * 50));
                TEncodedEntry entry;
                entry.Entry.Crc = static_cast<std::uint32_t>(i);
                return entry;
            },
            threads, kBudget);
        for (std::size_t i = 0; i < kCount; ++i) {
            if (cost(i) < 0) continue;
            // Counted off before the encoder counts it off: the counter never shows more than the encoder holds.
            in_flight -= cost(i);
            EXPECT_EQ(encoder.Take(i).Entry.Crc, i);
            // A slow consumer: without the budget the workers would run far ahead.
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        EXPECT_LE(worst.load(), 250) << threads;
    }
}

// What a worker's work throws reaches the consumer when it takes that entry, on its own thread.
TEST(OrderedEncoder, HandsOnWhatTheWorkThrew) {
    for (const unsigned threads : {1u, 2u}) {
        TOrderedEncoder encoder(
            4, [](std::size_t) { return 1; },
            [](std::size_t i, TBufferEncoder&) {
                if (i == 2) throw std::runtime_error("no random bytes");
                return TEncodedEntry{};
            },
            threads, 10);
        EXPECT_NO_THROW(encoder.Take(0));
        EXPECT_NO_THROW(encoder.Take(1));
        EXPECT_THROW(encoder.Take(2), std::runtime_error) << threads;
    }
}

}  // namespace
}  // namespace kv
