// The central-directory cursor: what it yields for each header, and where it stops on damaged directories.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/crc.h"
#include "engine/core/zip_central_cursor.h"
#include "platform/byte_order.h"
#include "support/bytes_stream.h"
#include "support/zip_builder.h"

namespace kv {
namespace {

using test::ExtraField;
using test::Put16;
using test::Put32;
using test::Put64;

// One central header's parts; the fixed values not named here are those of a small stored file.
struct Header {
    std::string name = "a.txt";
    std::string extra = {};
    std::string comment = {};
    std::uint32_t packed = 5;
    std::uint32_t unpacked = 5;
    std::uint32_t offset = 0;
    std::uint16_t disk = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t made_by = 0x031E;
    // Lengths to claim instead of the real ones.
    std::optional<std::uint16_t> name_length = {}, extra_length = {}, comment_length = {};
};

std::string CentralHeader(const Header& h) {
    std::string out = "PK\x01\x02";
    Put16(out, h.made_by), Put16(out, 20), Put16(out, h.flags), Put16(out, h.method), Put32(out, 0x5A6B3C21);
    Put32(out, 0x12345678), Put32(out, h.packed), Put32(out, h.unpacked);
    Put16(out, h.name_length.value_or(static_cast<std::uint16_t>(h.name.size())));
    Put16(out, h.extra_length.value_or(static_cast<std::uint16_t>(h.extra.size())));
    Put16(out, h.comment_length.value_or(static_cast<std::uint16_t>(h.comment.size())));
    Put16(out, h.disk), Put16(out, 0), Put32(out, 0x81A40000), Put32(out, h.offset);
    return out + h.name + h.extra + h.comment;
}

// The end record that follows a directory: another record kind, which ends the walk.
const std::string kEndRecord = std::string("PK\x05\x06", 4) + std::string(18, '\0');

std::string UnicodeField(std::uint16_t id, const std::string& replaced, const std::string& text, bool matching) {
    std::string data(1, '\x01');
    Put32(data, Crc32Of(replaced.data(), replaced.size()) ^ (matching ? 0 : 1));
    return ExtraField(id, data + text);
}

struct Walk {
    std::vector<TZipCentralRecord> records;  // copies, without their byte views
    TZipCursorStop stop = TZipCursorStop::csNone;
    std::int64_t stopped_at = 0;
};

Walk WalkDirectory(const std::string& bytes, TZipNameRule rule = {}) {
    test::BytesStream stream(bytes);
    THeaderReader reader(stream, static_cast<std::int64_t>(bytes.size()));
    TZipCentralCursor cursor(reader, 0, std::move(rule));
    Walk walk;
    while (const TZipCentralRecord* record = cursor.Next()) {
        walk.records.push_back(*record);
        walk.records.back().StoredName = walk.records.back().Extra = walk.records.back().Comment = {};
    }
    walk.stop = cursor.Stop();
    walk.stopped_at = cursor.Position();
    // Once stopped it stays stopped.
    EXPECT_EQ(cursor.Next(), nullptr);
    return walk;
}

TEST(ZipCentralCursor, StopsWhereTheDirectoryEndsOrIsDamaged) {
    const std::string good = CentralHeader({.name = "first"});
    struct Case {
        const char* label;
        std::string bytes;  // what follows one good header
        TZipCursorStop stop;
    };
    const Case cases[] = {
        {"end record after the directory", kEndRecord, TZipCursorStop::csOtherRecord},
        {"directory cut inside a fixed part", CentralHeader({}).substr(0, 30), TZipCursorStop::csNoHeader},
        {"nothing after the directory", "", TZipCursorStop::csNoHeader},
        {"a central signature and too little behind it", "PK\x01\x02" + std::string(20, '\0'),
         TZipCursorStop::csNoHeader},
        {"name longer than what is left", CentralHeader({.name_length = 0xFFFF}), TZipCursorStop::csNamePastEnd},
        {"extra field longer than what is left", CentralHeader({.extra_length = 0xFFFF}),
         TZipCursorStop::csExtraPastEnd},
        {"comment longer than what is left", CentralHeader({.comment_length = 0xFFFF}),
         TZipCursorStop::csCommentPastEnd},
        {"lengths that add up past the end only together",
         CentralHeader({.name = "nn", .extra = "eeee", .comment = "c", .comment_length = 2}),
         TZipCursorStop::csCommentPastEnd},
        {"local header where the directory should go on", "PK\x03\x04" + std::string(42, '\0'),
         TZipCursorStop::csOtherRecord},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Walk walk = WalkDirectory(good + c.bytes);
        ASSERT_EQ(walk.records.size(), 1u);
        EXPECT_EQ(walk.records[0].Name, "first");
        EXPECT_EQ(walk.stop, c.stop);
        EXPECT_EQ(walk.stopped_at, static_cast<std::int64_t>(good.size()));
    }
}

TEST(ZipCentralCursor, AppliesTheExtraFields) {
    std::string zip64;
    Put64(zip64, 0x1'2345'6789), Put64(zip64, 0x1'0000'0000), Put64(zip64, 0x2'0000'0000), Put32(zip64, 7);
    std::string short_zip64;
    Put64(short_zip64, 99);  // the unpacked size only: the rest stay as stored
    std::string times;
    times += '\x01', Put32(times, 1'700'000'000);
    std::string ntfs(4, '\0');
    Put16(ntfs, 1), Put16(ntfs, 24), Put64(ntfs, 133'000'000'000'000'000ull), Put64(ntfs, 0), Put64(ntfs, 0);
    std::string aes;
    Put16(aes, 2), aes += "AE", aes += '\x03', Put16(aes, 8);
    std::string owner = "\x01\x04";
    Put32(owner, 1000), owner += '\x02', Put16(owner, 100);

    struct Case {
        const char* label;
        Header header;
        std::function<void(const TZipCentralRecord&)> check;
    };
    const std::uint32_t sat = kZipSaturated32;
    const Case cases[] = {
        {"ZIP64 sizes, offset and disk",
         {.extra = ExtraField(0x0001, zip64), .packed = sat, .unpacked = sat, .offset = sat, .disk = 0xFFFF},
         [](const TZipCentralRecord& r) {
             EXPECT_EQ(r.Header.UnpackedSize, 0x1'2345'6789u);
             EXPECT_EQ(r.Header.PackedSize, 0x1'0000'0000u);
             EXPECT_EQ(r.Header.LocalOffset, 0x2'0000'0000u);
             EXPECT_EQ(r.Header.DiskStart, 7u);
             EXPECT_EQ(platform::LoadLE32(&r.Fixed[20]), kZipSaturated32);  // the stored fields stay as they were
         }},
        {"ZIP64 field shorter than the saturated values",
         {.extra = ExtraField(0x0001, short_zip64), .packed = sat, .unpacked = sat, .offset = sat},
         [](const TZipCentralRecord& r) {
             EXPECT_EQ(r.Header.UnpackedSize, 99u);
             EXPECT_EQ(r.Header.PackedSize, kZipSaturated32);
             EXPECT_EQ(r.Header.LocalOffset, kZipSaturated32);
         }},
        {"Unicode path whose checksum matches", {.name = "caf\x82", .extra = UnicodeField(0x7075, "caf\x82", "café", true)},
         [](const TZipCentralRecord& r) { EXPECT_EQ(r.Name, "café"); }},
        {"Unicode path of a name changed since (checksum differs)",
         {.name = "plain", .extra = UnicodeField(0x7075, "plain", "other", false)},
         [](const TZipCentralRecord& r) { EXPECT_EQ(r.Name, "plain"); }},
        {"Unicode comment whose checksum matches",
         {.extra = UnicodeField(0x6375, "n\x94te", "nöte", true), .comment = "n\x94te"},
         [](const TZipCentralRecord& r) { EXPECT_EQ(r.Header.UnicodeComment, "nöte"); }},
        {"Unicode comment of another comment", {.extra = UnicodeField(0x6375, "x", "y", true), .comment = "z"},
         [](const TZipCentralRecord& r) { EXPECT_FALSE(r.Header.UnicodeComment); }},
        {"extended timestamp and NTFS times (NTFS wins)",
         {.extra = ExtraField(0x5455, times) + ExtraField(0x000A, ntfs)},
         [](const TZipCentralRecord& r) {
             EXPECT_EQ(r.Header.UnixModTime->Seconds, 1'700'000'000);
             EXPECT_EQ(r.Header.ModTime()->Seconds, 13'300'000'000 - 11'644'473'600);
         }},
        {"AES", {.extra = ExtraField(0x9901, aes), .flags = 1, .method = 99},
         [](const TZipCentralRecord& r) {
             EXPECT_EQ(r.Header.AesMethod, 8);
             EXPECT_EQ(r.Header.EncryptionMethod(), emAes2_256);
         }},
        {"Unix owner", {.extra = ExtraField(0x7875, owner)},
         [](const TZipCentralRecord& r) {
             EXPECT_EQ(r.Header.UnixUid, 1000u);
             EXPECT_EQ(r.Header.UnixGid, 100u);
         }},
        {"extra field longer than its room",
         {.extra = ExtraField(0x5455, times) + std::string("\x01\x00\x20\x00", 4) + "abc"},
         [](const TZipCentralRecord& r) {
             EXPECT_FALSE(r.ExtraFieldsFit);
             EXPECT_TRUE(r.Header.UnixModTime);  // the fields before it still count
         }},
        {"padding shorter than a field header", {.extra = "\0\0"},
         [](const TZipCentralRecord& r) { EXPECT_TRUE(r.ExtraFieldsFit); }},
        {"MS-DOS name in the OEM code page, folders with backslashes", {.name = "DIR\\\x8E.TXT", .made_by = 0x0014},
         [](const TZipCentralRecord& r) { EXPECT_EQ(r.Name, "DIR/Ä.TXT"); }},
        {"UTF-8 flag", {.name = "\xC3\x84", .flags = 0x0800, .made_by = 0x0014},
         [](const TZipCentralRecord& r) { EXPECT_EQ(r.Name, "Ä"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string header = CentralHeader(c.header);
        const Walk walk = WalkDirectory(header + CentralHeader({.name = "next"}) + kEndRecord);
        ASSERT_EQ(walk.records.size(), 2u);
        c.check(walk.records[0]);
        // The walk went on behind the header's variable parts.
        EXPECT_EQ(walk.records[1].Position, static_cast<std::int64_t>(header.size()));
        EXPECT_EQ(walk.records[1].Name, "next");
    }
}

TEST(ZipCentralCursor, ReadsHiddenHeadersAndHonoursTheNameRule) {
    std::string hidden = CentralHeader({.name = "secret/\x8E", .comment = "plain comment", .made_by = 0x0014});
    // The fixed part after the signature, the name and the extra field are hidden; the comment is not.
    TZipKeys keys(CipherSeed(TSeedKind::skHeader));
    keys.Encipher(reinterpret_cast<std::uint8_t*>(&hidden[4]), hidden.size() - 4 - 13);
    hidden[1] = 'L';
    test::BytesStream stream(hidden + kEndRecord);
    THeaderReader reader(stream, stream.Size());
    TZipCentralCursor cursor(reader, 0);
    const TZipCentralRecord* record = cursor.Next();
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->Enciphered());
    EXPECT_EQ(record->Name, "secret/Ä");
    EXPECT_EQ(record->Comment, "plain comment");
    EXPECT_EQ(record->Header.Crc, 0x12345678u);

    // Bytes as they are, a code page chosen for the archive, another OEM code page.
    for (const auto& [rule, name] : std::vector<std::pair<TZipNameRule, std::string>>{
             {{false, {}, {}}, "secret/\x8E"}, {{true, "CP1252", {}}, "secret/Ž"}, {{true, {}, "CP866"}, "secret/О"}}) {
        TZipCentralCursor again(reader, 0, rule);
        const TZipCentralRecord* read = again.Next();
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->Name, name);
    }
}

// However the lengths are set, a walk over n bytes yields at most n / 46 headers and reads nothing past them.
TEST(ZipCentralCursor, EveryStepMovesOnAndStaysInsideTheLimit) {
    std::string bytes;
    for (int i = 0; i < 50; ++i) bytes += CentralHeader({.name = std::string(static_cast<std::size_t>(i), 'n')});
    for (std::size_t cut = 0; cut < bytes.size(); cut += 37) {
        const std::string part = bytes.substr(0, cut);
        const Walk walk = WalkDirectory(part);
        EXPECT_LE(walk.records.size(), part.size() / kZipCentralHeaderSize);
        EXPECT_LE(walk.stopped_at, static_cast<std::int64_t>(part.size()));
        for (std::size_t i = 1; i < walk.records.size(); ++i)
            EXPECT_GT(walk.records[i].Position, walk.records[i - 1].Position);
    }
}

}  // namespace
}  // namespace kv
