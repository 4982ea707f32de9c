#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/error_codes.h"
#include "engine/core/main_comment_stream.h"
#include "engine/core/memory_stream.h"

namespace kv {
namespace {

std::string ReadAll(TStream32& stream) {
    std::string out(static_cast<std::size_t>(stream.Size()), '\0');
    stream.SetPosition(0);
    out.resize(static_cast<std::size_t>(stream.ReadFull(out.data(), static_cast<std::int64_t>(out.size()))));
    return out;
}

TEST(MemoryStream, GrowsAcrossManyWritesAndReadsBack) {
    TMemoryStream32 stream;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        const std::string piece = "line " + std::to_string(i) + "\n";
        ASSERT_EQ(stream.Write(piece.data(), static_cast<std::int64_t>(piece.size())),
                  static_cast<std::int64_t>(piece.size()));
        expected += piece;
    }
    EXPECT_EQ(stream.Size(), static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(ReadAll(stream), expected);
    EXPECT_EQ(stream.LastErrorCode(), 0);

    // Overwriting in the middle keeps the size.
    ASSERT_EQ(stream.Seek(5, TSeekOrigin::soBeginning), 5);
    ASSERT_EQ(stream.Write("X", 1), 1);
    expected[5] = 'X';
    EXPECT_EQ(ReadAll(stream), expected);
}

TEST(MemoryStream, GapsAfterShrinkingReadAsZero) {
    TMemoryStream32 stream;
    const std::string old(1000, 'o');
    stream.Write(old.data(), 1000);
    ASSERT_TRUE(stream.SetSize(10));
    EXPECT_EQ(stream.Position(), 10);

    // A write past the end must not bring back the old bytes in between.
    ASSERT_EQ(stream.Seek(500, TSeekOrigin::soBeginning), 500);
    ASSERT_EQ(stream.Write("E", 1), 1);
    std::string expected = std::string(10, 'o') + std::string(490, '\0') + "E";
    EXPECT_EQ(ReadAll(stream), expected);

    stream.SetSize(10);
    ASSERT_TRUE(stream.SetSize(600));
    expected = std::string(10, 'o') + std::string(590, '\0');
    EXPECT_EQ(ReadAll(stream), expected);
}

TEST(MemoryStream, GrowthBeyondTheLimitFailsWithoutThrowing) {
    TMemoryStream32 stream;
    stream.SetSizeLimit(100);
    const std::string data(80, 'a');
    ASSERT_EQ(stream.Write(data.data(), 80), 80);

    EXPECT_EQ(stream.Write(data.data(), 40), 0);
    EXPECT_EQ(stream.LastErrorCode(), ecode::kOutOfMemoryExpandingStream);
    EXPECT_EQ(LoadStr(stream.LastErrorCode()), "Out of memory while expanding memory stream");
    EXPECT_EQ(stream.Size(), 80);
    EXPECT_EQ(stream.Position(), 80);
    EXPECT_FALSE(stream.SetSize(101));
    EXPECT_EQ(ReadAll(stream), data);

    // A size that could never be allocated is refused the same way.
    TMemoryStream32 huge;
    EXPECT_EQ(huge.Seek(INT64_MAX - 10, TSeekOrigin::soBeginning), INT64_MAX - 10);
    EXPECT_EQ(huge.Write(data.data(), 80), 0);
    EXPECT_EQ(huge.LastErrorCode(), ecode::kOutOfMemoryExpandingStream);
}

TEST(CustomMemoryStream, ReadsABorrowedOrOwnedBlock) {
    const char text[] = "0123456789";
    TCustomMemoryStream32 borrowed(text, 10);
    char buffer[4] = {};
    EXPECT_EQ(borrowed.Seek(-3, TSeekOrigin::soEnd), 7);
    EXPECT_EQ(borrowed.Read(buffer, 4), 3);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(borrowed.Read(buffer, 4), 0);
    EXPECT_EQ(borrowed.Seek(-11, TSeekOrigin::soEnd), -1);
    EXPECT_EQ(borrowed.Write("x", 1), 0);
    EXPECT_EQ(borrowed.Memory(), reinterpret_cast<const std::uint8_t*>(text));

    TCustomMemoryStream32 owned(std::vector<std::uint8_t>{1, 2, 3});
    EXPECT_EQ(owned.Size(), 3);
    EXPECT_EQ(owned.ReadAt(1, buffer, 4), 2);
    EXPECT_EQ(buffer[0], 2);
}

TEST(MainCommentStream, KeepsTheCommentAndTheRecordsAroundIt) {
    TMainCommentStream sink;
    TArchiveCommentSink& as_sink = sink;
    const std::string comment = "An archive comment";
    as_sink.ReceiveComment(0x06054B50u, 1234, 5678, reinterpret_cast<const std::uint8_t*>(comment.data()),
                           comment.size());
    EXPECT_EQ(sink.EndSignature(), 0x06054B50u);
    EXPECT_EQ(sink.CentralDirPosition(), 1234);
    EXPECT_EQ(sink.EndRecordPosition(), 5678);
    EXPECT_EQ(sink.Position(), 0);
    EXPECT_EQ(ReadAll(sink), comment);

    // A later end record replaces everything, also with an empty comment.
    as_sink.ReceiveComment(0x06054C50u, 1, 2, nullptr, 0);
    EXPECT_EQ(sink.Size(), 0);
    EXPECT_EQ(sink.EndSignature(), 0x06054C50u);
}

}  // namespace
}  // namespace kv
