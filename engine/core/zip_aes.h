#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv {

// WinZip's AES encryption of ZIP entries (AE-1 and AE-2). An entry's data is: the salt, a two-byte password
// verifier, the enciphered data (AES in counter mode with a little-endian counter starting at 1) and a
// ten-byte authentication code (HMAC-SHA1 of the enciphered data). Keys come from the password by PBKDF2
// with HMAC-SHA1 and 1000 rounds.

inline constexpr std::uint16_t kAesMethod = 99;          // the method field of an AES entry
inline constexpr std::uint16_t kAesExtraId = 0x9901;     // the extra field naming strength and real method
inline constexpr std::size_t kAesVerifierLength = 2;
inline constexpr std::size_t kAesAuthCodeLength = 10;

// Strength 1, 2 or 3 stands for 128, 192 or 256-bit keys.
inline bool IsAesStrength(int strength) { return strength >= 1 && strength <= 3; }
inline std::size_t AesSaltLength(int strength) { return 4 * (static_cast<std::size_t>(strength) + 1); }
inline std::size_t AesKeyLength(int strength) { return 8 * (static_cast<std::size_t>(strength) + 1); }
// What the cipher adds to an entry's compressed data.
inline std::size_t AesOverhead(int strength) { return AesSaltLength(strength) + kAesVerifierLength + kAesAuthCodeLength; }

// The 0x9901 extra field's content.
struct TAesExtra {
    std::uint16_t Version = 2;  // 1: AE-1 (the CRC is kept and checked), 2: AE-2 (the CRC field is zero)
    int Strength = 3;
    std::uint16_t Method = 8;   // the compression method the data really has
};
// Finds and checks the 0x9901 field among an entry's extra fields.
std::optional<TAesExtra> FindAesExtra(const std::uint8_t* extra, std::size_t size);
// The whole extra field (header included), 11 bytes.
std::array<std::uint8_t, 11> MakeAesExtra(const TAesExtra& aes);

// A random salt of the strength's length.
std::vector<std::uint8_t> MakeAesSalt(int strength);

// One entry's cipher: keys derived once, then data enciphered or deciphered in any chunking.
class TZipAesCipher {
public:
    TZipAesCipher(const std::string& password, const std::uint8_t* salt, int strength);
    ~TZipAesCipher();
    TZipAesCipher(const TZipAesCipher&) = delete;
    TZipAesCipher& operator=(const TZipAesCipher&) = delete;

    // The two bytes stored after the salt; a password whose verifier differs is wrong.
    const std::array<std::uint8_t, kAesVerifierLength>& Verifier() const { return verifier_; }
    void Encrypt(std::uint8_t* data, std::size_t size);
    void Decrypt(std::uint8_t* data, std::size_t size);
    // The code over everything enciphered or deciphered so far; call once, at the end.
    std::array<std::uint8_t, kAesAuthCodeLength> AuthCode();

private:
    void ApplyKeyStream(std::uint8_t* data, std::size_t size);
    void Authenticate(const std::uint8_t* data, std::size_t size);

    struct TState;
    std::unique_ptr<TState> state_;
    std::array<std::uint8_t, kAesVerifierLength> verifier_{};
};

}  // namespace kv
