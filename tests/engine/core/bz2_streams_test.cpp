#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/core/bz2_streams.h"
#include "engine/core/memory_stream.h"
#include "engine/core/zip_cipher.h"

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes SampleData(std::size_t size) {
    std::mt19937 random(7);
    Bytes data(size);
    for (auto& byte : data) byte = static_cast<std::uint8_t>("bzip2 stream "[random() % 13]);
    return data;
}

Bytes Compress(const Bytes& data, int block_size = 9, TEncryptionMethod method = emNone) {
    TMemoryStream32 out;
    {
        TBZCompressStream compress(out, block_size, method);
        // Uneven pieces, to cross the compressor's buffer edges.
        std::size_t done = 0;
        for (std::size_t piece = 1; done < data.size(); piece = piece * 3 + 1) {
            const std::size_t n = std::min(piece, data.size() - done);
            EXPECT_EQ(compress.Write(data.data() + done, static_cast<std::int64_t>(n)), static_cast<std::int64_t>(n));
            done += n;
        }
        EXPECT_TRUE(compress.Finish());
    }
    return Bytes(out.Memory(), out.Memory() + out.Size());
}

Bytes DecompressAll(TBzDecompressStream& stream, std::int64_t read_size = 65536) {
    Bytes out;
    Bytes buffer(static_cast<std::size_t>(read_size));
    while (const std::int64_t got = stream.Read(buffer.data(), read_size)) {
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return out;
}

Bytes DecompressBytes(const Bytes& packed) {
    TCustomMemoryStream32 source(packed.data(), static_cast<std::int64_t>(packed.size()));
    TBzDecompressStream stream(source);
    return DecompressAll(stream);
}

TEST(Bz2Streams, RoundTripLeavesTheSourceRightAfterTheData) {
    const Bytes data = SampleData(500'000);
    for (int block_size : {1, 9}) {
        Bytes archive = Compress(data, block_size);
        const auto packed_size = static_cast<std::int64_t>(archive.size());
        ASSERT_EQ(std::string(archive.begin(), archive.begin() + 3), "BZh");
        archive.insert(archive.end(), {'N', 'E', 'X', 'T'});

        TCustomMemoryStream32 source(archive.data(), static_cast<std::int64_t>(archive.size()));
        {
            TBzDecompressStream stream(source);
            EXPECT_EQ(DecompressAll(stream, 1000), data);
            EXPECT_TRUE(stream.Finished());
            EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(data.size()));
        }
        EXPECT_EQ(source.Position(), packed_size);
    }
    EXPECT_TRUE(DecompressBytes(Compress({})).empty());
}

TEST(Bz2Streams, EncipheredRoundTrip) {
    const Bytes data = SampleData(100'000);
    InitPasswordKeys("pw");
    const Bytes enciphered = Compress(data, 9, emZip_V2);
    EXPECT_NE(std::string(enciphered.begin(), enciphered.begin() + 3), "BZh");

    InitPasswordKeys("pw");
    TCustomMemoryStream32 source(enciphered.data(), static_cast<std::int64_t>(enciphered.size()));
    TBzDecompressStream stream(source, emZip_V2);
    EXPECT_EQ(DecompressAll(stream), data);
}

TEST(Bz2Streams, DamagedDataRaisesTheDataError) {
    const Bytes packed = Compress(SampleData(200'000));
    Bytes bad_block = packed;
    bad_block[packed.size() / 2] ^= 0x10;
    Bytes bad_magic = packed;
    bad_magic[0] = 'X';
    const Bytes truncated(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed.size() / 2));
    const Bytes empty;

    for (const Bytes* input : std::vector<const Bytes*>{&bad_block, &bad_magic, &truncated, &empty}) {
        try {
            DecompressBytes(*input);
            ADD_FAILURE() << "no error for input of " << input->size() << " bytes";
        } catch (const Ebz2DATAError& error) {
            EXPECT_STREQ(error.what(), "The bz2 engine signals a data corruption");
        }
    }
}

TEST(Bz2Streams, UnsupportedOperationsAndInitialisationFailuresRaise) {
    TMemoryStream32 target;
    TBZCompressStream compress(target, 9);
    char byte = 0;
    auto expect_invalid = [](auto&& operation) {
        try {
            operation();
            ADD_FAILURE() << "no error";
        } catch (const Ebz2libError& error) {
            EXPECT_STREQ(error.what(), "Invalid stream operation");
        }
    };
    expect_invalid([&] { compress.Read(&byte, 1); });
    expect_invalid([&] { compress.Seek(5, TSeekOrigin::soBeginning); });
    expect_invalid([&] { compress.SetSize(0); });
    EXPECT_EQ(compress.Position(), 0);

    const Bytes packed = Compress(SampleData(10));
    TCustomMemoryStream32 source(packed.data(), static_cast<std::int64_t>(packed.size()));
    TBzDecompressStream decompress(source);
    expect_invalid([&] { decompress.Write(&byte, 1); });

    EXPECT_THROW(
        {
            try {
                TBZCompressStream bad(target, 0);
            } catch (const Ebz2libError& error) {
                EXPECT_STREQ(error.what(), "The bz2 engine reports a fatal error during initialization process !");
                throw;
            }
        },
        Ebz2libError);
}

TEST(Bz2Streams, SetCancelFlagAbortsWithTheUserError) {
    bool cancel = false;
    TMemoryStream32 target;
    TBZCompressStream compress(target, 9);
    compress.CancelFlag = &cancel;
    EXPECT_EQ(compress.Write("abc", 3), 3);
    cancel = true;
    try {
        compress.Write("abc", 3);
        ADD_FAILURE() << "no error";
    } catch (const Ebz2USERError& error) {
        EXPECT_STREQ(error.what(), "The client application abort bz2 process");
    }

    const Bytes packed = Compress(SampleData(1000));
    TCustomMemoryStream32 source(packed.data(), static_cast<std::int64_t>(packed.size()));
    TBzDecompressStream decompress(source);
    decompress.CancelFlag = &cancel;
    char buffer[16];
    EXPECT_THROW(decompress.Read(buffer, sizeof buffer), Ebz2USERError);
}

}  // namespace
}  // namespace kv
