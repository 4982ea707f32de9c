// The end records of a ZIP: their values, and which ZIP64 end record belongs to an end record.
#include <gtest/gtest.h>

#include <string>

#include "engine/core/zip_end_records.h"
#include "support/bytes_stream.h"
#include "support/zip_fixture.h"

namespace kv {
namespace {

using test::Put16;
using test::Put32;
using test::Put64;

// An end record: disks, counts, directory size and offset (8 bytes in the wide form), comment length.
std::string EndRecord(std::uint16_t disk, std::uint16_t count, std::uint32_t size, std::uint64_t offset,
                      bool wide = false) {
    std::string out = wide ? std::string("P[\x05\x06", 4) : std::string("PK\x05\x06", 4);
    Put16(out, disk), Put16(out, disk), Put16(out, count), Put16(out, count), Put32(out, size);
    if (wide) Put64(out, offset);
    else Put32(out, static_cast<std::uint32_t>(offset));
    Put16(out, 7);
    return out;
}

std::string Zip64EndRecord(std::uint64_t count, std::uint64_t size, std::uint64_t offset, std::uint32_t disk = 0) {
    std::string out("PK\x06\x06", 4);
    Put64(out, 44), Put16(out, 45), Put16(out, 45), Put32(out, disk), Put32(out, disk);
    Put64(out, count), Put64(out, count), Put64(out, size), Put64(out, offset);
    return out;
}

std::string Locator(std::uint64_t record_at) {
    std::string out("PK\x06\x07", 4);
    Put32(out, 0), Put64(out, record_at), Put32(out, 1);
    return out;
}

TEST(ZipEndRecords, ValuesOfTheEndRecordForms) {
    const std::string plain = EndRecord(2, 0xFFFF, 0x1234, 0x89ABCDEF);
    TZipEndValues values = ZipEndValues(reinterpret_cast<const std::uint8_t*>(plain.data()), plain.size());
    EXPECT_EQ(values.ThisDisk, 2u);
    EXPECT_EQ(values.CentralDisk, 2u);
    EXPECT_EQ(values.TotalEntries, 0xFFFFu);  // without ZIP64 records a real count
    EXPECT_EQ(values.CentralSize, 0x1234u);
    EXPECT_EQ(values.CentralOffset, 0x89ABCDEFu);
    EXPECT_EQ(values.CommentLength, 7u);
    EXPECT_FALSE(values.Zip64);

    const std::string wide = EndRecord(0, 3, 10, 0x1'0000'0010, true);
    values = ZipEndValues(reinterpret_cast<const std::uint8_t*>(wide.data()), wide.size());
    EXPECT_EQ(values.CentralOffset, 0x1'0000'0010u);
    EXPECT_EQ(values.CommentLength, 7u);

    const std::string zip64 = Zip64EndRecord(70000, 0x2'0000'0000, 0x3'0000'0000, 4);
    ApplyZip64EndRecord(reinterpret_cast<const std::uint8_t*>(zip64.data()), values);
    EXPECT_TRUE(values.Zip64);
    EXPECT_EQ(values.TotalEntries, 70000u);
    EXPECT_EQ(values.EntriesOnDisk, 70000u);
    EXPECT_EQ(values.CentralSize, 0x2'0000'0000u);
    EXPECT_EQ(values.CentralOffset, 0x3'0000'0000u);
    EXPECT_EQ(values.ThisDisk, 4u);
}

TEST(ZipEndRecords, FindsTheZip64EndRecordTheLocatorNames) {
    const std::string directory(100, 'd');  // stands for a central directory of 100 bytes at offset 0
    const std::string record = Zip64EndRecord(0xFFFF, 100, 0);
    const std::string stub(40, 's');
    struct Case {
        const char* label;
        std::string bytes;  // everything before the end record
        bool locator;
        std::int64_t record_at;  // -1: none used
    };
    const Case cases[] = {
        {"record where the locator says", directory + record + Locator(100), true, 100},
        // A stub in front moves everything; the locator's offset falls short by its length.
        {"record behind a stub", stub + directory + record + Locator(100), true, 140},
        // Extensible data after the record: only the locator's offset finds it.
        {"record with data behind it", directory + record + "xxxx" + Locator(100), true, 100},
        {"locator pointing past itself", directory + record + Locator(1'000'000), true, 100},
        {"locator pointing outside, no record before it", directory + std::string(56, 'r') + Locator(1ull << 62), true,
         -1},
        {"directory size beyond the file", directory + Zip64EndRecord(1, 1ull << 40, 0) + Locator(100), true, -1},
        {"directory offset beyond the file", directory + Zip64EndRecord(1, 100, 1ull << 40) + Locator(100), true, -1},
        {"no locator", directory + record, false, -1},
        {"nothing before the end record", "", false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        test::BytesStream stream(c.bytes + EndRecord(0, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF));
        const TZip64Records found = FindZip64Records(stream, static_cast<std::int64_t>(c.bytes.size()));
        EXPECT_EQ(found.HasLocator, c.locator);
        EXPECT_EQ(found.RecordPosition, c.record_at);
        if (c.record_at >= 0) {
            EXPECT_EQ(found.Record[0], 'P');
        }
    }
}

}  // namespace
}  // namespace kv
