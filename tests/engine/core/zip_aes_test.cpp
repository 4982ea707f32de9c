#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/zip_aes.h"
#include "support/test_support.h"

namespace kv {
namespace {

std::uint16_t Get16(const std::string& s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8);
}
std::uint32_t Get32(const std::string& s, std::size_t at) { return Get16(s, at) | std::uint32_t{Get16(s, at + 2)} << 16; }

// 7-Zip's AES entries, read with nothing but the cipher: the right password deciphers and authenticates
// what 7-Zip stored, a wrong one does not.
TEST(ZipAes, DeciphersWhatSevenZipStored) {
    if (!test::HaveProgram("7z")) GTEST_SKIP() << "7z is not installed";
    test::TempDir dir;
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i) + "\n";
    test::WriteFile(dir / "plain.txt", text);
    for (const char* method : {"AES128", "AES192", "AES256"}) {
        SCOPED_TRACE(method);
        const auto archive = dir / (std::string(method) + ".zip");
        ASSERT_EQ(test::RunCommand("cd '" + dir.Path().string() + "' && 7z a -tzip -mx0 -psecret -mem=" + method + " '" +
                                   archive.string() + "' plain.txt >/dev/null"),
                  0);
        const std::string zip = test::ReadFile(archive);
        ASSERT_EQ(Get32(zip, 0), 0x04034B50u);
        ASSERT_EQ(Get16(zip, 8), kAesMethod);
        const std::size_t name_length = Get16(zip, 26), extra_length = Get16(zip, 28);
        const auto* extra = reinterpret_cast<const std::uint8_t*>(zip.data()) + 30 + name_length;
        const auto aes = FindAesExtra(extra, extra_length);
        ASSERT_TRUE(aes);
        EXPECT_EQ(aes->Method, 0);  // stored
        const std::size_t data_at = 30 + name_length + extra_length;
        const std::size_t packed = Get32(zip, 18);
        ASSERT_EQ(packed, text.size() + AesOverhead(aes->Strength));
        const auto* salt = reinterpret_cast<const std::uint8_t*>(zip.data()) + data_at;
        const std::size_t salt_length = AesSaltLength(aes->Strength);

        TZipAesCipher cipher("secret", salt, aes->Strength);
        ASSERT_EQ(std::memcmp(cipher.Verifier().data(), salt + salt_length, kAesVerifierLength), 0);
        std::string data = zip.substr(data_at + salt_length + kAesVerifierLength, text.size());
        cipher.Decrypt(reinterpret_cast<std::uint8_t*>(data.data()), 1000);  // any chunking
        cipher.Decrypt(reinterpret_cast<std::uint8_t*>(data.data()) + 1000, data.size() - 1000);
        EXPECT_EQ(data, text);
        const auto code = cipher.AuthCode();
        EXPECT_EQ(std::memcmp(code.data(), zip.data() + data_at + packed - kAesAuthCodeLength, code.size()), 0);

        // The two-byte verifier lets one wrong password in 65 536 through; the data never comes out.
        TZipAesCipher wrong("Secret", salt, aes->Strength);
        std::string wrong_data = zip.substr(data_at + salt_length + kAesVerifierLength, text.size());
        wrong.Decrypt(reinterpret_cast<std::uint8_t*>(wrong_data.data()), wrong_data.size());
        EXPECT_TRUE(std::memcmp(wrong.Verifier().data(), salt + salt_length, kAesVerifierLength) != 0 ||
                    wrong_data != text);
    }
}

TEST(ZipAes, EncipheringRoundTripsAndTheExtraFieldReadsBack) {
    const auto salt = MakeAesSalt(3);
    ASSERT_EQ(salt.size(), 16u);
    std::vector<std::uint8_t> data(10000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    auto enciphered = data;
    TZipAesCipher writer("pw", salt.data(), 3);
    writer.Encrypt(enciphered.data(), enciphered.size());
    EXPECT_NE(enciphered, data);
    TZipAesCipher reader("pw", salt.data(), 3);
    reader.Decrypt(enciphered.data(), 4097);
    reader.Decrypt(enciphered.data() + 4097, enciphered.size() - 4097);
    EXPECT_EQ(enciphered, data);
    EXPECT_EQ(writer.AuthCode(), reader.AuthCode());

    const auto extra = MakeAesExtra({2, 3, 8});
    const std::uint8_t with_other[] = {0x55, 0x54, 1, 0, 7};
    std::vector<std::uint8_t> fields(std::begin(with_other), std::end(with_other));
    fields.insert(fields.end(), extra.begin(), extra.end());
    const auto read = FindAesExtra(fields.data(), fields.size());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Version, 2);
    EXPECT_EQ(read->Strength, 3);
    EXPECT_EQ(read->Method, 8);
    fields[fields.size() - 3] = 4;  // no such strength
    EXPECT_FALSE(FindAesExtra(fields.data(), fields.size()));
}

}  // namespace
}  // namespace kv
