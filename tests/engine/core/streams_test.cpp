#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "engine/core/crc.h"
#include "engine/core/memory_stream.h"
#include "engine/core/store_stream.h"
#include "engine/core/stream32.h"
#include "support/test_support.h"

namespace kv {
namespace {

TEST(CalcStreamCrc, KeepsOnlyTheCrc32OfWhatIsWritten) {
    TCalcStreamCRC whole;
    EXPECT_EQ(whole.Write("abc", 3), 3);
    EXPECT_EQ(whole.FinishedCrc(), 0x352441C2u);

    TCalcStreamCRC pieces;
    for (char c : std::string("abc")) pieces.Write(&c, 1);
    EXPECT_EQ(pieces.Crc(), whole.Crc());
    EXPECT_EQ(pieces.Size(), 3);
    EXPECT_EQ(pieces.Position(), 3);

    TCalcStreamCRC empty;
    EXPECT_EQ(empty.FinishedCrc(), 0u);
    char byte;
    EXPECT_EQ(empty.Read(&byte, 1), 0);
}

TEST(StoreStream, PassesDataUnchangedWhileKeepingItsCrc) {
    const std::string data = "The quick brown fox jumps over the lazy dog";

    TMemoryStream32 target;
    TStoreStream writer(target);
    EXPECT_EQ(writer.Write(data.data(), 10), 10);
    EXPECT_EQ(writer.Write(data.data() + 10, static_cast<std::int64_t>(data.size() - 10)),
              static_cast<std::int64_t>(data.size() - 10));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(target.Memory()), static_cast<std::size_t>(target.Size())), data);
    EXPECT_EQ(~writer.Crc(), Crc32Of(data.data(), data.size()));
    EXPECT_EQ(writer.SourcePosition(), static_cast<std::int64_t>(data.size()));

    TCustomMemoryStream32 source(data.data(), static_cast<std::int64_t>(data.size()));
    TStoreStream reader(source, kCrcKind16);
    std::string out(data.size(), '\0');
    EXPECT_EQ(reader.ReadFull(out.data(), 1000), static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(out, data);
    EXPECT_EQ(reader.Crc(), UpdateCrc16(0, data.data(), data.size()));

    // A target that refuses the bytes: only what got through counts.
    TMemoryStream32 full;
    full.SetSizeLimit(5);
    TStoreStream short_writer(full);
    EXPECT_EQ(short_writer.Write(data.data(), 10), 0);
    EXPECT_EQ(short_writer.Crc(), 0xFFFFFFFFu);
}

TEST(FileStream, MissingFileLeavesAnInvalidHandle) {
    test::TempDir dir;
    TFileStream32 stream((dir / "missing.zip").string(), TFileOpenMode::fmOpenRead);
    EXPECT_FALSE(stream.IsValid());
    EXPECT_EQ(stream.LastError(), ENOENT);
    char byte;
    EXPECT_EQ(stream.Read(&byte, 1), 0);
}

}  // namespace
}  // namespace kv
