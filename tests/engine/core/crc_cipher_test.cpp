#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/core/crc.h"
#include "engine/core/zip_cipher.h"
#include "support/test_support.h"

namespace kv {
namespace {

TEST(Crc, KnownVectorsAndChunking) {
    EXPECT_EQ(Crc32Of("abc", 3), 0x352441C2u);
    EXPECT_EQ(Crc32Of("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(UpdateCrc16(0, "abc", 3), 0x9738u);
    EXPECT_EQ(UpdateCrc16(0, "123456789", 9), 0xBB3Du);
    // The raw accumulator carries over between calls, and the byte step agrees with the bulk update.
    std::uint32_t acc = UpdateCrc32(0xFFFFFFFFu, "12345", 5);
    acc = UpdateCrc32(acc, "6789", 4);
    EXPECT_EQ(~acc, 0xCBF43926u);
    std::uint32_t stepped = 0xFFFFFFFFu;
    for (char c : std::string("123456789")) stepped = Crc32Step(stepped, static_cast<std::uint8_t>(c));
    EXPECT_EQ(~stepped, 0xCBF43926u);
}

class CipherTest : public ::testing::Test {
protected:
    void TearDown() override {
        TSeedKeys data(TSeedKind::skData);  // back to the default seeds for the next test
        TSeedKeys header(TSeedKind::skHeader);
    }
};

// Whether `password` passes the header check and then deciphers `enciphered` (the data behind the header)
// into `plain`. A wrong password passes the one-byte check once in 256 tries (the headers are random), so
// only the data tells for sure.
bool Opens(const TCipherHeader& header, std::uint16_t flags, std::uint32_t crc, const std::string& password,
           std::uint32_t dos_time, std::string enciphered, const std::string& plain) {
    if (!CheckCipherHeader(header, flags, crc, password, dos_time)) return false;
    CipherKeys(TSeedKind::skData).Decipher(reinterpret_cast<std::uint8_t*>(enciphered.data()), enciphered.size());
    return enciphered == plain;
}

TEST_F(CipherTest, HeaderRoundTripChecksPasswordAndLeavesKeysAtData) {
    TSeedKeys seed(TSeedKind::skData);
    const std::uint32_t crc = 0xA1B2C3D4u;
    TCipherHeader header = MakeCipherHeader("secret", crc);
    const std::string plain = "plain text that goes behind the header";
    std::string data = plain;
    CipherKeys(TSeedKind::skData).Encipher(reinterpret_cast<std::uint8_t*>(data.data()), data.size());

    EXPECT_FALSE(Opens(header, 0, crc, "", 0, data, plain));
    EXPECT_FALSE(Opens(header, 0, crc, "wrong", 0, data, plain));
    EXPECT_TRUE(Opens(header, 0, crc, "secret", 0, data, plain));
}

// Reads the first local header of a ZIP made by Info-ZIP with a password and checks the cipher on it.
TEST_F(CipherTest, OpensAnArchiveMadeByZip) {
    if (!test::HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
    test::TempDir dir;
    const std::string content = "Kavrel reads what zip -P writes.\n";
    test::WriteFile(dir / "note.txt", content);
    ASSERT_EQ(test::RunCommand("cd '" + dir.Path().string() + "' && zip -q -0 -P 'pa ss' a.zip note.txt"), 0);
    const std::string zip = test::ReadFile(dir / "a.zip");
    ASSERT_GT(zip.size(), 30u);
    auto u16 = [&](std::size_t at) { return static_cast<std::uint16_t>(std::uint8_t(zip[at]) | std::uint8_t(zip[at + 1]) << 8); };
    auto u32 = [&](std::size_t at) { return static_cast<std::uint32_t>(u16(at) | std::uint32_t(u16(at + 2)) << 16); };
    const std::uint16_t flags = u16(6);
    ASSERT_TRUE(flags & 1);
    const std::uint32_t dos_time = u16(10);
    std::uint32_t crc = u32(14);
    const std::size_t data_at = 30 + u16(26) + u16(28);
    if (flags & 8) {  // zip streams the CRC into a descriptor: take it from the central directory
        const std::size_t central = zip.rfind(std::string("PK\x01\x02", 4));
        ASSERT_NE(central, std::string::npos);
        crc = u32(central + 16);
    }
    TCipherHeader header{};
    std::memcpy(header.data(), zip.data() + data_at, header.size());

    TSeedKeys seed(TSeedKind::skData);
    const std::string data = zip.substr(data_at + header.size(), content.size());
    EXPECT_FALSE(Opens(header, flags, crc, "pass", dos_time, data, content));
    EXPECT_TRUE(Opens(header, flags, crc, "pa ss", dos_time, data, content));

    // Another data seed: the right password no longer opens it.
    seed.SetKey0(kDefaultDataSeed.Key0 ^ 1);
    EXPECT_EQ(CipherSeed(TSeedKind::skData).Key0, kDefaultDataSeed.Key0 ^ 1);
    EXPECT_FALSE(Opens(header, flags, crc, "pa ss", dos_time, data, content));
}

TEST_F(CipherTest, EncipheredHeadersUseTheirOwnSeed) {
    // An end record hidden with the header keys comes back with the default header seed.
    std::uint8_t record[22] = {'P', 'L', 5, 6};
    for (int i = 4; i < 22; ++i) record[i] = static_cast<std::uint8_t>(i);
    std::uint8_t hidden[22];
    std::memcpy(hidden, record, sizeof record);
    TZipKeys keys(kDefaultHeaderSeed);
    keys.Encipher(hidden + 4, 18);
    EXPECT_NE(std::memcmp(hidden, record, 22), 0);
    DecipherHeader(hidden, TCipheredRecord::crEnd);
    EXPECT_EQ(std::memcmp(hidden, record, 22), 0);
}

}  // namespace
}  // namespace kv
