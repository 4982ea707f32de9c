#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/crc.h"
#include "engine/core/memory_stream.h"
#include "engine/core/read_ahead_stream.h"
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

TEST(FileStream, CreateNewNeverWritesThroughWhatBearsTheName) {
    test::TempDir dir;
    const std::string target = (dir / "target.txt").string();
    test::WriteFile(target, "precious");
    const struct {
        const char* label;
        std::function<void(const std::string& path)> make;
    } cases[] = {
        {"nothing there", [](const std::string&) {}},
        {"read-only file", [](const std::string& path) { test::WriteFile(path, "old"), ::chmod(path.c_str(), 0444); }},
        {"symbolic link", [&](const std::string& path) { std::filesystem::create_symlink(target, path); }},
        {"hard link", [&](const std::string& path) { std::filesystem::create_hard_link(target, path); }},
    };
    for (const auto& c : cases) {
        const std::string path = (dir / c.label).string();
        c.make(path);
        {
            TFileStream32 out(path, TFileOpenMode::fmCreateNew);
            ASSERT_TRUE(out.IsValid()) << c.label;
            EXPECT_EQ(out.Write("new", 3), 3) << c.label;
        }
        EXPECT_EQ(test::ReadFile(path), "new") << c.label;
        EXPECT_FALSE(std::filesystem::is_symlink(path)) << c.label;
        EXPECT_EQ(test::ReadFile(target), "precious") << c.label;
    }
}

// A memory stream that counts the reads it serves.
class ReadCountingStream : public TCustomMemoryStream32 {
public:
    using TCustomMemoryStream32::TCustomMemoryStream32;
    std::int64_t Read(void* buffer, std::int64_t count) override {
        ++reads;
        return TCustomMemoryStream32::Read(buffer, count);
    }
    int reads = 0;
};

TEST(ReadAheadStream, ReadsWhatTheSourceHoldsWhereverItSeeksWithFewSourceReads) {
    std::vector<std::uint8_t> data(10'000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    ReadCountingStream source(data.data(), static_cast<std::int64_t>(data.size()));
    TReadAheadStream stream(source, 1024);
    EXPECT_EQ(stream.Size(), 10'000);

    // 200 reads of 5 bytes one after another come from one source read.
    std::vector<std::uint8_t> got(5);
    for (std::int64_t at = 0; at < 1000; at += 5) {
        ASSERT_EQ(stream.Read(got.data(), 5), 5);
        ASSERT_TRUE(std::equal(got.begin(), got.end(), data.begin() + at)) << at;
    }
    EXPECT_EQ(source.reads, 1);

    const struct {
        std::int64_t at;
        std::int64_t size;
        std::int64_t expected;  // what ReadFull gets
    } cases[] = {
        {1020, 10, 10},      // across the end of the buffer
        {0, 30, 30},         // back to a position read before
        {5000, 4000, 4000},  // larger than the buffer: straight from the source
        {9990, 100, 10},     // up to the end
        {10'000, 10, 0},     // at the end
        {20'000, 10, 0},     // beyond it
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(c.size));
        EXPECT_EQ(stream.ReadAt(c.at, buffer.data(), c.size), c.expected) << c.at;
        const auto from = data.begin() + std::min<std::int64_t>(c.at, 10'000);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + c.expected, from)) << c.at;
        EXPECT_EQ(stream.Position(), c.at + c.expected) << c.at;
    }
}

}  // namespace
}  // namespace kv
